"""Runs a command with the download test server up: its port in T6_TEST_SERVER_PORT; ends with
the command's exit status and stops the server.

    python3 with_server.py SERVER_SCRIPT COMMAND [ARGUMENTS...]
"""

import os
import subprocess
import sys


def main():
    server = subprocess.Popen([sys.executable, sys.argv[1]], stdout=subprocess.PIPE, text=True)
    try:
        port = server.stdout.readline().strip()
        if not port.isdigit():
            print("with_server: the test server did not start", file=sys.stderr)
            return 1
        env = dict(os.environ, T6_TEST_SERVER_PORT=port, WINEDEBUG=os.environ.get("WINEDEBUG", "-all"))
        return subprocess.call(sys.argv[2:], env=env)
    finally:
        server.kill()
        server.wait()


if __name__ == "__main__":
    sys.exit(main())
