"""The whole installation end to end: from "立即安装" on a fresh machine, the demo package is
downloaded from nginx, extracted with progress on page 134 and installed, up to page 136, whose
"立即体验" starts the installed product."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

import harness
from harness import RECORD_KEY, REPO, ROOMY, DownloadHost, ScreenTestCase, wait_for

INSTALL_DIR = "c:\\Program Files (x86)\\Tessaly\\"
PRODUCT_DIR = INSTALL_DIR + "T6\\"
RELEASE = PRODUCT_DIR + "resources\\app\\template\\Release\\"
CLASSES = ("{6E3A1B52-4C7D-4F1A-9B8E-2D5C7A9E1F01}", "{6E3A1B52-4C7D-4F1A-9B8E-2D5C7A9E1F02}")
DEMO = os.path.join(harness.BUILD_DIR, "demo-product")


def make_package(www, extra_files):
    """The demo product and extra_files small files, packed by tools/make-package."""
    tree = tempfile.mkdtemp(prefix="t6-tree-")
    try:
        release = os.path.join(tree, "resources", "app", "template", "Release")
        os.makedirs(release)
        shutil.copy(os.path.join(DEMO, "T6.EXE"), tree)
        for name in ("grdesigner6.exe", "grdes6.dll", "gregn6.dll"):
            shutil.copy(os.path.join(DEMO, name), release)
        for i in range(extra_files):
            folder = os.path.join(tree, "资料" if i % 2 else "data", str(i % 10))
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, f"报表{i}.txt"), "w", encoding="utf-8") as f:
                f.write(f"demo file {i}\n" * (i % 50 + 1))
        subprocess.run([os.path.join(REPO, "tools", "make-package"), tree, os.path.join(www, "download", "T6.zip")],
                       check=True, stdout=subprocess.DEVNULL)
    finally:
        shutil.rmtree(tree, ignore_errors=True)


DESKTOP = "C:\\Users\\Public\\Desktop\\"
GROUP = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tessaly\\"
SHORTCUTS = (("lnkPath1", DESKTOP + "TessalyT6.lnk"), ("lnkPath2", GROUP + "TessalyT6.lnk"),
             ("lnkPath3", GROUP + "Tessaly首页.lnk"), ("lnkPath4", GROUP + "卸载TessalyT6.lnk"))
FORMS_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Forms"


class InstallTest(ScreenTestCase):
    def setUp(self):
        self.new_machine(ROOMY + "[printer]\ndefault = Office Printer\n")
        self.www = tempfile.mkdtemp(prefix="t6-www-")
        self.addCleanup(shutil.rmtree, self.www, True)

    def text(self, session, element_id):
        return session.execute(f"var e = document.getElementById('{element_id}'); return e ? e.innerText : null")

    def test_from_install_click_to_finish_page_and_the_product_starts(self):
        # Enough entries that the extraction's progress lines stay on the page a while.
        make_package(self.www, 1500)
        host = DownloadHost(self.www)
        self.addCleanup(host.close)
        session = self.start_installation()
        lines = set()

        def progress_or_finish():
            if session.url().endswith("/136"):
                return True
            line = self.text(session, "ExtractInfo")
            if line and line.startswith("正在安装：["):
                lines.add(line)
            return False
        wait_for(progress_or_finish, timeout=120, interval=0.02, what="page 136")
        session.wait_for_page(136)
        self.assertTrue(lines, "code 5 lines were shown on page 134")
        for line in lines:
            self.assertRegex(line, r"^正在安装：\[\d+%\] [cC]:\\Program Files \(x86\)\\Tessaly\\T6\\")

        record = self.machine.reg("query", RECORD_KEY).stdout
        for name, kind, value in (("Version", "REG_SZ", "1.0.0"), ("Path", "REG_SZ", PRODUCT_DIR),
                                  ("ComDllPath1", "REG_SZ", RELEASE + "grdes6.dll"),
                                  ("ComDllPath2", "REG_SZ", RELEASE + "gregn6.dll")):
            self.assertRegex(record, rf"(?i)\n    {name}    {kind}    {re.escape(value)}\n")
        self.assertRegex(record, r"\n    InstallTick    REG_DWORD    0x[0-9a-f]+\n")
        for clsid in CLASSES:
            server = self.machine.reg("query", f"HKCR\\CLSID\\{clsid}\\InprocServer32").stdout
            self.assertIn("Tessaly\\T6\\resources\\app\\template\\Release\\gr", server)
        for value, path in SHORTCUTS:
            self.assertRegex(record, rf"(?i)\n    {value}    REG_SZ    {re.escape(path)}\n")
            lnk = self.machine.host_path(path)
            self.assertTrue(os.path.isfile(lnk), path)
            subprocess.run(["lnkinfo", lnk], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertIn("grffile", self.machine.reg("query", "HKCR\\.grf").stdout)
        command = self.machine.reg("query", "HKCR\\grffile\\Shell\\Open\\Command").stdout
        self.assertIn("grdesigner6.exe %1", command)
        forms = self.machine.reg("query", FORMS_KEY).stdout
        self.assertIn("HV2", forms)
        self.assertIn("HV3", forms)
        self.assertFalse(os.path.exists(self.machine.host_path(INSTALL_DIR + "tesl6.hv")), "the package is gone")
        self.assertTrue(os.path.exists(self.machine.host_path(PRODUCT_DIR + "资料\\1\\报表1.txt")))

        window_id = self.x.window_named(harness.WINDOW_TITLE)[0]
        session.click_ending_the_program("BtnRun")
        wait_for(lambda: all(w[0] != window_id for w in self.x.windows()), what="the installer to end")
        product_host_dir = self.machine.host_path(PRODUCT_DIR).rstrip("/")
        wait_for(lambda: f"TessalyT6 (demo) started: {product_host_dir}/T6.EXE in {product_host_dir}"
                 in session.output(), what="the product to start in the product folder")

    def test_a_damaged_package_shows_the_alert_and_installs_nothing(self):
        make_package(self.www, 3)
        package = os.path.join(self.www, "download", "T6.zip")
        with open(package, "r+b") as f:
            # Damage the product program's data (past its local header): its CRC can no longer match.
            data = f.read()
            at = data.index(b"T6/T6.EXE") + 200
            f.seek(at)
            f.write(bytes(b ^ 0x55 for b in data[at:at + 64]))
        host = DownloadHost(self.www)
        self.addCleanup(host.close)
        session = self.start_installation()
        wait_for(lambda: session.execute("return getComputedStyle(document.getElementById('alert')).display")
                 != "none", timeout=60, what="the alert")
        self.assertIn("安装包已损坏，无法解压：T6/T6.EXE", self.text(session, "msg"))
        self.assertTrue(session.url().endswith("/134"))
        self.assertNotEqual(0, self.machine.reg("query", RECORD_KEY, check=False).returncode, "no record")
        window_id = self.x.window_named(harness.WINDOW_TITLE)[0]
        session.click_ending_the_program("AlertOK")
        wait_for(lambda: all(w[0] != window_id for w in self.x.windows()), what="the program to end")


if __name__ == "__main__":
    unittest.main()
