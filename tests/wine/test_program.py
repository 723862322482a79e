"""The Windows program itself under Wine and Xvfb (CTest starts both): a second start is refused
with the message box while the first runs on untouched, and a start with "-u" on a prefix without
an installation record shows its window and does not crash. Wine has no HTML engine here, so the
pages themselves never render: the window stays empty.
"""

import os
import subprocess
import time
import unittest

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
RUN = os.path.join(SOURCE, "tools", "wine-run.sh")
PROGRAM = os.environ.get("T6_PROGRAM", "")
WINDOW_TITLE = "TessalyT6"  # the dialog's title starts so
BOX_TITLE = "^T6InternetInstaller$"  # message boxes are captioned with the application name


def wine_env():
    """The environment the Wine tools set up, for wineserver calls from here."""
    out = subprocess.run(["bash", "-c", f"source {SOURCE}/tools/wine-env.sh; env -0"],
                         capture_output=True, check=True).stdout.decode()
    return dict(item.split("=", 1) for item in out.split("\0") if "=" in item)


def windows(name):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], capture_output=True, text=True)
    return found.stdout.split()


def wait_for_window(name, limit=90):
    end = time.time() + limit
    while time.time() < end:
        ids = windows(name)
        if ids:
            return ids
        time.sleep(0.5)
    return []


def is_32_bit(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    pe = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[pe + 4:pe + 6], "little") == 0x14C


class ProgramUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not PROGRAM:
            raise unittest.SkipTest("T6_PROGRAM is not set: run through CTest")
        cls.env = wine_env()
        if is_32_bit(PROGRAM) and cls.env.get("T6_WINE_RUNS_32BIT") != "1":
            reason = ("a 32-bit program, and this machine's kernel runs no 32-bit programs (ia32 emulation is off), "
                      "which Wine needs for them; the windows-x64 build runs this test")
            print("SKIPPED:", reason)
            raise unittest.SkipTest(reason)

    def start(self, *arguments):
        return subprocess.Popen([RUN, PROGRAM, *arguments], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def tearDown(self):
        # Ends every process of the scratch prefix (ours alone), then waits for the server.
        subprocess.run(["timeout", "30", "wineserver", "-k"], env=self.env)
        subprocess.run(["timeout", "30", "wineserver", "-w"], env=self.env)

    def test_a_second_start_is_refused_and_the_first_runs_on(self):
        first = self.start()
        self.assertTrue(wait_for_window(WINDOW_TITLE), "the first start shows no window")
        self.assertEqual([], windows(BOX_TITLE))
        second = self.start()
        boxes = wait_for_window(BOX_TITLE)
        self.assertTrue(boxes, "the second start shows no message box")
        self.assertEqual(1, len(windows(WINDOW_TITLE)), "the second start opened a window of its own")
        # Confirming the box ends the second start; the first is untouched.
        subprocess.run(["xdotool", "windowactivate", "--sync", boxes[0]], timeout=10)
        subprocess.run(["xdotool", "key", "--window", boxes[0], "Return"], timeout=10)
        self.assertEqual(0, second.wait(timeout=30))
        self.assertIsNone(first.poll(), "the first start ended")
        self.assertTrue(windows(WINDOW_TITLE))

    def test_uninstall_mode_without_a_record_does_not_crash(self):
        program = self.start("-u")
        self.assertTrue(wait_for_window(WINDOW_TITLE), "no window in uninstall mode")
        time.sleep(3)
        self.assertIsNone(program.poll(), "the program ended")
        # Neither a message box nor Wine's crash dialog.
        self.assertEqual([], windows(BOX_TITLE))
        self.assertEqual([], windows("Program Error"))


if __name__ == "__main__":
    unittest.main()
