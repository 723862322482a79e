"""Start-up time: from the request that starts the installer to page 132 loaded, on a fresh
emulated machine under Xvfb. The figure includes WebKitWebDriver's own start of the program
(it polls for the program's automation socket every 100 ms), so it is an upper bound.

    python3 bench/startup_time.py [runs]
"""

import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
import harness  # noqa: E402


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 9
    x = harness.XServer()
    times = []
    try:
        for _ in range(runs):
            machine = harness.Machine()
            started = time.monotonic()
            session = harness.Session(x, machine)
            try:
                harness.wait_for(lambda: session.url().endswith("/132") and session.ready(), interval=0.01)
                times.append(time.monotonic() - started)
            finally:
                session.close()
                machine.close()
    finally:
        x.close()
    print(f"start-up to page 132 loaded over {runs} runs: median {statistics.median(times) * 1000:.0f} ms, "
          f"min {min(times) * 1000:.0f} ms, max {max(times) * 1000:.0f} ms")


if __name__ == "__main__":
    main()
