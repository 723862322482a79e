"""End-to-end harness: a private X server, a fresh emulated machine, and the real installer
driven through WebKitWebDriver (W3C WebDriver over HTTP, spoken with the standard library)."""

import json
import unittest
import re
import os
import shutil
import socket
import subprocess
import tempfile
import time
import urllib.error
import urllib.request

BUILD_DIR = os.environ.get("T6_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", "host"))
PROGRAM = os.path.abspath(os.path.join(BUILD_DIR, "T6InternetInstaller"))
REG_TOOL = os.path.abspath(os.path.join(BUILD_DIR, "t6-reg"))
WINDOW_TITLE = "TessalyT6安装向导"
RECORD_KEY = r"HKLM\Software\Halvexo\TessalyT6"
# A machine with 50 GiB free on drive C: the location check lets the installation start.
ROOMY = "[drive.c]\nfree_bytes = 53687091200\n"
# A window line of `xwininfo -root -tree -int`: id "name": (class) WxH+X+Y  +absX+absY
WINDOW_LINE = re.compile(r'^\s*(\d+) "(.*)": \(.*\)\s+(\d+)x(\d+)[+-]\d+[+-]\d+\s+\+(-?\d+)\+(-?\d+)')


def wait_for(condition, timeout=20.0, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out waiting for {what}")
        time.sleep(interval)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class XServer:
    """Xvfb on a display number it picks itself, with a 1920 x 1080 screen."""

    def __init__(self, width=1920, height=1080, window_manager=False):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x24", "-br", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = f":{number}"
        # Bare Xvfb places windows exactly where asked; minimising needs a window manager.
        self.window_manager = None
        if window_manager:
            self.window_manager = subprocess.Popen(["openbox", "--sm-disable"], env={**os.environ, **self.env()},
                                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            wait_for(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in subprocess.run(
                ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env={**os.environ, **self.env()},
                capture_output=True, text=True).stdout, what="the window manager")

    def close(self):
        if self.window_manager:
            self.window_manager.terminate()
            self.window_manager.wait(timeout=10)
        self.process.terminate()
        self.process.wait(timeout=10)

    def env(self):
        return {"DISPLAY": self.display}

    def windows(self):
        """(id, name, x, y, width, height) of every named top-level window, from xwininfo."""
        # A window that goes away while xwininfo walks the tree makes it fail: ask again.
        for _ in range(10):
            run = subprocess.run(["xwininfo", "-root", "-tree", "-int"], env={**os.environ, **self.env()},
                                 capture_output=True, text=True)
            if run.returncode == 0:
                break
            time.sleep(0.05)
        run.check_returncode()
        out = run.stdout
        found = []
        for line in out.splitlines():
            match = WINDOW_LINE.match(line)
            if match:
                window_id, name, width, height, x, y = match.groups()
                found.append((window_id, name, int(x), int(y), int(width), int(height)))
        return found

    def is_viewable(self, window_id):
        out = subprocess.run(["xwininfo", "-id", window_id], env={**os.environ, **self.env()},
                             capture_output=True, text=True).stdout
        return "Map State: IsViewable" in out

    def windows_named(self, name):
        """Shown windows with that name (GTK also keeps an unmapped leader window per program)."""
        return [w for w in self.windows() if w[1] == name and self.is_viewable(w[0])]

    def window_named(self, name):
        shown = self.windows_named(name)
        return shown[0] if shown else None

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env={**os.environ, **self.env()}, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Machine:
    """A fresh emulated Windows machine in a temporary folder."""

    def __init__(self, ini_text=None):
        self.root = tempfile.mkdtemp(prefix="t6-e2e-")
        os.makedirs(os.path.join(self.root, "drive_c"))
        if ini_text is not None:
            with open(os.path.join(self.root, "machine.ini"), "w", encoding="utf-8") as f:
                f.write(ini_text)

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def env(self):
        return {"T6_HOST_ROOT": self.root}

    def host_path(self, windows_path):
        drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/")
        return os.path.join(self.root, "drive_" + drive) + rest

    def reg(self, *args, check=True):
        return subprocess.run([REG_TOOL, *args], env={**os.environ, **self.env()}, capture_output=True,
                              text=True, check=check)


REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
# The package address built into the host build.
PACKAGE_PORT = 8086


def wait_for_port(port, timeout=10):
    def open_port():
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            return False
    wait_for(open_port, timeout, what=f"port {port}")


class DownloadHost:
    """nginx serving root/download/T6.zip on the package address's port."""

    def __init__(self, root):
        self.state = tempfile.mkdtemp(prefix="t6-nginx-")
        self.process = subprocess.Popen(
            [os.path.join(REPO, "tools", "download-host", "serve.sh"), root, str(PACKAGE_PORT), self.state],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for_port(PACKAGE_PORT)

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        shutil.rmtree(self.state, ignore_errors=True)


class FaultyDownloadHost:
    """The test server on the package address's port, answering the package with a route of its own."""

    def __init__(self, route):
        self.process = subprocess.Popen(
            ["python3", os.path.join(REPO, "tests", "servers", "http_test_server.py"), str(PACKAGE_PORT), route],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for_port(PACKAGE_PORT)

    def close(self):
        self.process.kill()
        self.process.wait(timeout=10)


class WebDriverError(RuntimeError):
    pass


class Session:
    """One WebKitWebDriver session: the driver starts the installer as its browser."""

    def __init__(self, xserver, machine, args=(), extra_env=None):
        self.port = free_port()
        env = {**os.environ, **xserver.env(), **machine.env(), "T6_AUTOMATION": "1", **(extra_env or {})}
        self.log = tempfile.TemporaryFile()
        self.driver = subprocess.Popen(["WebKitWebDriver", f"--port={self.port}"], env=env,
                                       stdout=self.log, stderr=subprocess.STDOUT)
        self.base = f"http://127.0.0.1:{self.port}"
        wait_for(self._driver_ready, what="WebKitWebDriver")
        capabilities = {"capabilities": {"alwaysMatch": {
            "webkitgtk:browserOptions": {"binary": PROGRAM, "args": list(args)}}}}
        try:
            self.id = self._request("POST", "/session", capabilities, timeout=30)["sessionId"]
        except Exception as error:
            output = self.output()
            self._stop_driver()
            raise WebDriverError(f"no session: {error}\n--- driver and program output ---\n{output}") from None

    def _driver_ready(self):
        try:
            with urllib.request.urlopen(self.base + "/status", timeout=1) as response:
                return json.load(response)["value"].get("ready", False)
        except (OSError, ValueError):
            return False

    def _request(self, method, path, body=None, timeout=60):
        data = json.dumps(body if body is not None else {}).encode() if method == "POST" else None
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=timeout) as response:
                return json.load(response)["value"]
        except urllib.error.HTTPError as error:
            raise WebDriverError(error.read().decode(errors="replace")) from None

    def command(self, method, path, body=None):
        return self._request(method, f"/session/{self.id}{path}", body)

    def url(self):
        return self.command("GET", "/url")

    def wait_for_page(self, page, timeout=20):
        return wait_for(lambda: self.url().endswith("/" + str(page)) and self.ready(), timeout,
                        what=f"page {page}")

    def ready(self):
        return self.execute("return document.readyState") == "complete"

    def execute(self, script, *args):
        return self.command("POST", "/execute/sync", {"script": script, "args": list(args)})

    def element(self, element_id):
        found = self.command("POST", "/element", {"using": "css selector", "value": f"#{element_id}"})
        return next(iter(found.values()))

    def click(self, element_id):
        self.command("POST", f"/element/{self.element(element_id)}/click")

    def output(self):
        """What the driver and the installer it started have written to stdout and stderr."""
        self.log.seek(0)
        return self.log.read().decode(errors="replace")

    def click_ending_the_program(self, element_id):
        """A click whose reaction ends the program: the driver may lose it before it answers."""
        try:
            self.click(element_id)
        except (WebDriverError, OSError):
            pass

    def title(self):
        return self.command("GET", "/title")

    def close(self):
        try:
            self._request("DELETE", f"/session/{self.id}", timeout=10)
        except (OSError, WebDriverError):
            pass
        self._stop_driver()

    def _children(self):
        children = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open(f"/proc/{entry}/stat") as stat:
                        fields = stat.read().rsplit(")", 1)[1].split()
                    if int(fields[1]) == self.driver.pid and fields[0] != "Z":
                        children.append(int(entry))
                except (OSError, IndexError, ValueError):
                    continue
        return children

    def _stop_driver(self):
        # The installer is the driver's child: make sure it is gone before the next start, since
        # a live one would make the next start a refused second instance.
        programs = self._children()
        self.driver.terminate()
        try:
            self.driver.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.driver.kill()
            self.driver.wait()
        for pid in programs:
            try:
                os.kill(pid, 9)
            except ProcessLookupError:
                pass
        wait_for(lambda: not any(os.path.exists(f"/proc/{pid}/stat") and not _is_zombie(pid) for pid in programs),
                 timeout=10, what="the installer to end")
        self.log.close()


def _is_zombie(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True


class ScreenTestCase(unittest.TestCase):
    """Tests that share one 1920 x 1080 X server and get a fresh machine and session each."""

    @classmethod
    def setUpClass(cls):
        cls.x = XServer(1920, 1080)

    @classmethod
    def tearDownClass(cls):
        cls.x.close()

    def new_machine(self, ini_text=None):
        self.machine = Machine(ini_text)
        self.addCleanup(self.machine.close)
        return self.machine

    def open_session(self, args=()):
        session = Session(self.x, self.machine, args)
        self.addCleanup(session.close)
        return session

    def start_installation(self):
        """A session on a roomy machine that has clicked "立即安装" and shows page 134."""
        session = self.open_session()
        session.wait_for_page(132)
        wait_for(lambda: "51200MB" in session.execute("return document.getElementById('Info').innerHTML"),
                 what="the location check")
        session.click("ifSetup")
        session.wait_for_page(134)
        return session
