"""The uninstall end to end: the real program started with "-u" as the uninstall shortcut starts
it, "继续卸载" clicked through WebKitWebDriver, page 131, and what is left on the machine."""

import os
import unittest

from harness import RECORD_KEY, ScreenTestCase, wait_for

INSTALL = "c:\\Program Files (x86)\\Tessaly\\"
PRODUCT = INSTALL + "T6\\"
DESKTOP = "c:\\Users\\Public\\Desktop\\"
GROUP = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tessaly\\"
SHORTCUTS = [DESKTOP + "TessalyT6.lnk", GROUP + "TessalyT6.lnk", GROUP + "Tessaly首页.lnk",
             GROUP + "卸载TessalyT6.lnk"]
PRODUCT_FILES = ["T6.EXE", "resources\\app\\template\\Release\\grdes6.dll",
                 "resources\\app\\template\\Release\\grdesigner6.exe", "resources\\app\\index.html"]


class UninstallTest(ScreenTestCase):
    def make_file(self, windows_path, mode=0o644):
        path = self.machine.host_path(windows_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(windows_path)
        os.chmod(path, mode)
        return path

    def seed_installation(self):
        """What an installation leaves: product files, shortcuts, record, association."""
        for name in PRODUCT_FILES:
            self.make_file(PRODUCT + name, 0o444 if name.endswith(".dll") else 0o644)
        for shortcut in SHORTCUTS:
            self.make_file(shortcut)
        reg = self.machine.reg
        reg("add", RECORD_KEY, "/v", "Version", "/t", "REG_SZ", "/d", "1.0.0", "/f")
        reg("add", RECORD_KEY, "/v", "InstallTick", "/t", "REG_DWORD", "/d", "1700000000", "/f")
        reg("add", RECORD_KEY, "/v", "Path", "/t", "REG_SZ", "/d", PRODUCT, "/f")
        reg("add", RECORD_KEY, "/v", "ComDllPath1", "/t", "REG_SZ", "/d",
            PRODUCT + "resources\\app\\template\\Release\\grdes6.dll", "/f")
        for number, shortcut in enumerate(SHORTCUTS, 1):
            reg("add", RECORD_KEY, "/v", f"lnkPath{number}", "/t", "REG_SZ", "/d", shortcut, "/f")
        reg("add", "HKCR\\.grf", "/ve", "/t", "REG_SZ", "/d", "grffile", "/f")
        reg("add", "HKCR\\grffile\\Shell\\Open\\Command", "/ve", "/t", "REG_SZ", "/d",
            PRODUCT + "resources\\app\\template\\Release\\grdesigner6.exe %1", "/f")

    def test_removes_what_the_installation_made_and_nothing_else(self):
        self.new_machine()
        self.seed_installation()
        self.machine.reg("add", "HKLM\\Software\\Halvexo\\OtherProduct", "/v", "Path", "/t", "REG_SZ", "/d",
                         "c:\\Other\\", "/f")
        # A link in the product folder to a folder outside it, and a file of the user's there.
        outside = self.make_file("c:\\Users\\Public\\Documents\\Reports\\monthly.grf")
        os.symlink(os.path.dirname(outside), self.machine.host_path(PRODUCT + "Reports"))

        session = self.open_session(["-u"])
        session.wait_for_page(129)
        session.click("BtnRemove")
        session.wait_for_page(131, timeout=30)

        self.assertNotEqual(0, self.machine.reg("query", RECORD_KEY, check=False).returncode)
        self.assertIn("OtherProduct", self.machine.reg("query", "HKLM\\Software\\Halvexo").stdout)
        self.assertNotEqual(0, self.machine.reg("query", "HKCR\\.grf", check=False).returncode)
        self.assertNotEqual(0, self.machine.reg("query", "HKCR\\grffile", check=False).returncode)
        for shortcut in SHORTCUTS:
            self.assertFalse(os.path.lexists(self.machine.host_path(shortcut)), shortcut)
        self.assertFalse(os.path.lexists(self.machine.host_path(PRODUCT)))
        self.assertTrue(os.path.isdir(self.machine.host_path(INSTALL)))
        self.assertTrue(os.path.isdir(self.machine.host_path(GROUP)))
        self.assertTrue(os.path.isfile(outside))

        # The record is gone: the next start offers a fresh installation.
        session.click_ending_the_program("BtnCancel")
        wait_for(lambda: not session._children(), what="the program to end")
        again = self.open_session()
        again.wait_for_page(132)


if __name__ == "__main__":
    unittest.main()
