"""Download benchmark: a package from nginx on loopback through the installer's download worker
(the real dialog and page 134, under Xvfb) and through `curl -o`, in the same run.

    python3 bench/download_bench.py [MiB ...]      (default: 64 256)

Prints per size the best wall time of each over 3 runs and their ratio (curl's process from start
to end, the worker's from page 134 loaded to the completion report handled), the installer
process's processor time per MiB, how long progress
reports waited for the user-interface thread (median and worst over all runs), and the worker
process's peak memory, which must not grow with the package size.
"""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
BENCH = os.path.join(os.environ.get("T6_BUILD_DIR", os.path.join(REPO, "build", "host")), "bench", "t6_download_bench")
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
import harness  # noqa: E402

PORT = 8097
RUNS = 3


def main():
    sizes = [int(s) for s in sys.argv[1:]] or [64, 256]
    www = tempfile.mkdtemp(prefix="t6-bench-www-")
    state = tempfile.mkdtemp(prefix="t6-bench-nginx-")
    os.makedirs(os.path.join(www, "download"))
    nginx = subprocess.Popen([os.path.join(REPO, "tools", "download-host", "serve.sh"), www, str(PORT), state])
    x = harness.XServer()
    try:
        harness.wait_for_port(PORT)
        for mib in sizes:
            package = os.path.join(www, "download", "T6.zip")
            with open(package, "wb") as f:
                for _ in range(mib):
                    f.write(os.urandom(1 << 20))
            url = f"http://127.0.0.1:{PORT}/download/T6.zip"
            worker, curl, waits_median, waits_max, peaks, cpu = [], [], [], [], [], []
            for _ in range(RUNS):
                started = time.monotonic()
                subprocess.run(["curl", "-s", "-o", os.path.join(state, "curl.out"), url], check=True)
                curl.append(time.monotonic() - started)
                out = subprocess.run([BENCH, url], env={**os.environ, **x.env()}, capture_output=True, text=True,
                                     check=True).stdout
                figures = dict(re.findall(r"(\w+)=([\d.]+)", out))
                worker.append(float(figures["wall_s"]))
                cpu.append(float(figures["cpu_s"]) * 1000 / mib)
                waits_median.append(int(figures["wait_median_ms"]))
                waits_max.append(int(figures["wait_max_ms"]))
                peaks.append(int(figures["peak_kb"]))
            w, c = min(worker), min(curl)
            print(f"{mib} MiB: best of {RUNS}: worker {w:.2f} s, curl -o {c:.2f} s, ratio {w / c:.2f}; "
                  f"installer processor time {statistics.median(cpu):.2f} ms per MiB; "
                  f"report wait median {statistics.median(waits_median)} ms, worst {max(waits_max)} ms; "
                  f"peak memory {max(peaks) // 1024} MiB", flush=True)
            os.remove(package)
    finally:
        x.close()
        nginx.terminate()
        nginx.wait()
        shutil.rmtree(www, ignore_errors=True)
        shutil.rmtree(state, ignore_errors=True)


if __name__ == "__main__":
    main()
