"""The uninstall end to end: the real program started with "-u" as the uninstall shortcut starts
it, "继续卸载" clicked through WebKitWebDriver, page 131, and what is left on the machine."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

import harness
from harness import RECORD_KEY, ROOMY, DownloadHost, ScreenTestCase, Session, wait_for
from test_install import CLASSES, FORMS_KEY, make_package

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

    def link_info(self, windows_path):
        """Target, arguments and working folder of a shortcut, as lnkinfo reads them."""
        out = subprocess.run(["lnkinfo", self.machine.host_path(windows_path)], check=True, capture_output=True,
                             text=True).stdout
        field = lambda name: re.search(rf"^\s*{name}\s*:\s*(.*)$", out, re.M).group(1).strip()
        return field("Local path"), field("Command line arguments"), field("Working directory")

    def test_installed_demo_is_removed_through_the_uninstall_shortcut(self):
        self.new_machine(ROOMY + "[printer]\ndefault = Office Printer\n")
        www = tempfile.mkdtemp(prefix="t6-www-")
        self.addCleanup(shutil.rmtree, www, True)
        # Enough files that the deletion's progress lines stay on page 130 a while.
        make_package(www, 4000)
        host = DownloadHost(www)
        self.addCleanup(host.close)
        installing = self.start_installation()
        installing.wait_for_page(136, timeout=180)
        installing.click_ending_the_program("BtnClose")
        wait_for(lambda: not installing._children(), what="the installation to end")
        for clsid in CLASSES:
            self.assertEqual(0, self.machine.reg("query", f"HKCR\\CLSID\\{clsid}", check=False).returncode)

        target, arguments, folder = self.link_info(GROUP + "卸载TessalyT6.lnk")
        self.assertTrue(target.upper().startswith("Z:\\"), target)
        self.assertEqual(os.path.realpath(harness.PROGRAM), os.path.realpath(target[2:].replace("\\", "/")))
        self.assertEqual("-u", arguments)
        self.assertTrue(os.path.isdir(folder[2:].replace("\\", "/")), folder)
        self.machine.reg("add", "HKLM\\Software\\Halvexo\\OtherProduct", "/v", "Path", "/t", "REG_SZ", "/d",
                         "c:\\Other\\", "/f")
        outside = self.make_file("c:\\Users\\Public\\Documents\\Reports\\monthly.grf")
        os.symlink(os.path.dirname(outside), self.machine.host_path(PRODUCT + "Reports"))

        session = Session(self.x, self.machine, [arguments])
        self.addCleanup(session.close)
        session.wait_for_page(129)
        wait_for(lambda: session.execute("return document.getElementById('UseDay').innerText") == "0",
                 what="the days of use")
        session.click("BtnRemove")
        lines = set()

        def progress_or_end():
            if session.url().endswith("/131"):
                return True
            line = session.execute("var e = document.getElementById('DeleteInfo'); return e ? e.innerText : null")
            if line and line.startswith("正在删除："):
                lines.add(line)
            return False
        wait_for(progress_or_end, timeout=60, interval=0.01, what="page 131")
        session.wait_for_page(131)
        self.assertTrue(lines, "progress lines were shown on page 130")
        for line in lines:
            self.assertRegex(line, r"^正在删除：\[\d+%\] [cC]:\\Program Files \(x86\)\\Tessaly\\T6\\")

        self.assertNotEqual(0, self.machine.reg("query", RECORD_KEY, check=False).returncode)
        self.assertIn("OtherProduct", self.machine.reg("query", "HKLM\\Software\\Halvexo").stdout)
        self.assertNotEqual(0, self.machine.reg("query", "HKCR\\.grf", check=False).returncode)
        self.assertNotEqual(0, self.machine.reg("query", "HKCR\\grffile", check=False).returncode)
        for clsid in CLASSES:
            self.assertNotEqual(0, self.machine.reg("query", f"HKCR\\CLSID\\{clsid}", check=False).returncode)
        for shortcut in SHORTCUTS:
            self.assertFalse(os.path.lexists(self.machine.host_path(shortcut)), shortcut)
        self.assertFalse(os.path.lexists(self.machine.host_path(PRODUCT)))
        self.assertTrue(os.path.isdir(self.machine.host_path(INSTALL)))
        self.assertTrue(os.path.isdir(self.machine.host_path(GROUP)))
        self.assertTrue(os.path.isfile(outside))
        self.assertIn("HV2", self.machine.reg("query", FORMS_KEY).stdout, "the paper forms stay")


if __name__ == "__main__":
    unittest.main()
