"""Start-up end to end: the window, the single-instance guard and the start-up mode, on the real
program under Xvfb, driven through WebKitWebDriver."""

import os
import shutil
import subprocess
import tempfile
import unittest

import harness
from harness import RECORD_KEY, ScreenTestCase, Session, wait_for

PRODUCT_DIR = "c:\\Program Files (x86)\\Tessaly\\T6\\"
REFUSAL = "您已打开了一个安装程序，请不要同时打开多个安装程序！"
BROKEN_NOTICE = "你安装过TessalyT6系统，但安装位置出现异常，接下来将会重新安装TessalyT6"


class StartupTest(ScreenTestCase):
    def setUp(self):
        self.new_machine()
        self.extra = []
        self.addCleanup(self._stop_extra_processes)

    def _stop_extra_processes(self):
        for process in self.extra:
            process.kill()
            process.wait()

    def start(self, *args):
        return self.open_session(args)

    def start_directly(self, program=harness.PROGRAM):
        """A start outside WebDriver, as a user's double click would make it."""
        process = subprocess.Popen([program], env={**os.environ, **self.x.env(), **self.machine.env()},
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.extra.append(process)
        return process

    def pixel(self, x, y):
        path = os.path.join(self.machine.root, "screen.png")
        self.x.screenshot(path)
        out = subprocess.run(["convert", path, "-format", f"%[pixel:p{{{x},{y}}}]", "info:-"],
                             capture_output=True, text=True, check=True).stdout
        return out.strip()

    def test_empty_machine_shows_install_start_in_rounded_window(self):
        session = self.start()
        session.wait_for_page(132)
        self.assertEqual("安装1", session.title())
        window = wait_for(lambda: self.x.window_named(harness.WINDOW_TITLE), what="installer window")
        self.assertEqual((608, 347, 604, 386), window[2:])
        # The rounded outline: the very corner shows the screen behind, a point inside the page.
        self.assertIn(self.pixel(608, 347), ("black", "srgb(0,0,0)"))
        self.assertNotIn(self.pixel(608 + 30, 347 + 30), ("black", "srgb(0,0,0)"))

    def test_second_and_third_starts_are_refused_while_the_first_runs(self):
        session = self.start()
        session.wait_for_page(132)
        second = self.start_directly()
        wait_for(lambda: self.x.window_named("T6InternetInstaller"), what="refusal message box")
        third = self.start_directly()
        wait_for(lambda: len(self.x.windows_named("T6InternetInstaller")) == 2,
                 what="second refusal message box")
        for refused in (second, third):
            refused.kill()
            self.assertIn(REFUSAL, refused.communicate()[1])
        # The first is untouched: same page, same window.
        self.assertTrue(session.url().endswith("/132"))
        self.assertEqual((608, 347, 604, 386), self.x.window_named(harness.WINDOW_TITLE)[2:])

    def test_copy_of_the_program_elsewhere_runs_alongside(self):
        session = self.start()
        session.wait_for_page(132)
        folder = tempfile.mkdtemp(prefix="t6-copy-")
        self.addCleanup(shutil.rmtree, folder, True)
        copy = os.path.join(folder, "T6InternetInstaller")
        shutil.copy2(harness.PROGRAM, copy)
        self.start_directly(copy)
        wait_for(lambda: len(self.x.windows_named(harness.WINDOW_TITLE)) == 2,
                 what="the copy's installer window")
        self.assertIsNone(self.x.window_named("T6InternetInstaller"))

    def test_start_mode(self):
        os.makedirs(self.machine.host_path(PRODUCT_DIR))
        cases = [
            # (argument text, Path value or None for no value, first page)
            (["update"], None, 129),
            (["-U"], None, 132),
            ([], PRODUCT_DIR, 129),
            ([], None, 132),
        ]
        for args, path, page in cases:
            with self.subTest(args=args, path=path):
                self.machine.reg("delete", r"HKLM\Software\Halvexo", "/f", check=False)
                self.machine.reg("add", RECORD_KEY, "/v", "Version", "/t", "REG_SZ", "/d", "1.0.0", "/f")
                if path:
                    self.machine.reg("add", RECORD_KEY, "/v", "Path", "/t", "REG_SZ", "/d", path, "/f")
                session = Session(self.x, self.machine, args)
                try:
                    session.wait_for_page(page)
                    self.assertNotIn(BROKEN_NOTICE, session.output())
                finally:
                    session.close()

    def test_record_naming_a_missing_folder_gives_the_notice_then_installs(self):
        self.machine.reg("add", RECORD_KEY, "/v", "Path", "/t", "REG_SZ", "/d", "c:\\gone\\T6\\", "/f")
        session = self.start()
        box = wait_for(lambda: self.x.window_named("T6InternetInstaller"), what="notice message box")
        self.assertIn(BROKEN_NOTICE, session.output())
        subprocess.run(["xdotool", "windowfocus", "--sync", box[0], "key", "Return"],
                       env={**os.environ, **self.x.env()}, check=False)
        wait_for(lambda: self.x.window_named("T6InternetInstaller") is None, what="notice to close")
        session.wait_for_page(132)
        # The record is left as it was.
        self.assertIn("c:\\gone\\T6\\", self.machine.reg("query", RECORD_KEY, "/v", "Path").stdout)

    def test_unreadable_registry_means_install_and_is_left_untouched(self):
        database = os.path.join(self.machine.root, "registry.db")
        junk = b"this is not a registry database" * 100
        with open(database, "wb") as f:
            f.write(junk)
        session = self.start()
        session.wait_for_page(132)
        with open(database, "rb") as f:
            self.assertEqual(junk, f.read())

    def test_machine_printer_is_the_default_from_the_first_start(self):
        self.new_machine("[printer]\ndefault = Office Printer\n")
        session = self.start()
        session.wait_for_page(132)
        printers = self.machine.reg("query", r"HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers").stdout
        self.assertIn(r"\Print\Printers\Office Printer", printers)
        device = self.machine.reg("query", r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows",
                                  "/v", "Device").stdout
        self.assertIn("Device    REG_SZ    Office Printer,winspool,Ne00:", device)

    def test_malformed_machine_description_stops_with_file_and_line(self):
        ini = os.path.join(self.machine.root, "machine.ini")
        with open(ini, "w", encoding="utf-8") as f:
            f.write("[windows]\nmajor = ten\n")
        run = subprocess.run([harness.PROGRAM], env={**os.environ, **self.x.env(), **self.machine.env()},
                             capture_output=True, text=True, timeout=60)
        self.assertEqual(2, run.returncode)
        self.assertIn(ini + ":2: 'major' needs a whole number", run.stderr)
        self.assertIsNone(self.x.window_named(harness.WINDOW_TITLE))


if __name__ == "__main__":
    unittest.main()
