"""The program file itself, without running it: a GUI program that imports system DLLs only and
carries every resource of resources/resources.list, the dialog template, string 154, the
manifest and the version record.

    python3 check_program_file.py OBJDUMP PROGRAM RESOURCE_LIST
"""

import re
import subprocess
import sys
import unittest

OBJDUMP, PROGRAM, RESOURCE_LIST = sys.argv[1:4] if len(sys.argv) >= 4 else ("", "", "")
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
               "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wininet.dll",
               "winspool.drv", "version.dll"}
TYPE_NUMBERS = {"ICON": "14", "HTML": "23"}  # the icon's id names its group


class ProgramFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.headers = subprocess.run([OBJDUMP, "-p", PROGRAM], capture_output=True, text=True, check=True).stdout
        cls.resources = subprocess.run(["wrestool", "-l", PROGRAM], capture_output=True, text=True, check=True).stdout

    def test_a_gui_program_that_imports_system_dlls_only(self):
        self.assertRegex(self.headers, r"Subsystem\s+00000002")
        imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", self.headers)}
        self.assertTrue(imports)
        self.assertEqual(set(), imports - SYSTEM_DLLS)

    def test_every_listed_resource_and_the_windows_ones_are_there(self):
        found = set(re.findall(r"--type='?([^' ]+?)'? --name='?([^' ]+?)'? ", self.resources))
        wanted = set()
        for line in open(RESOURCE_LIST, encoding="utf-8"):
            parts = line.split()
            if len(parts) == 3 and parts[0].isupper():
                wanted.add((TYPE_NUMBERS.get(parts[0], parts[0]), parts[1]))
        # Dialog 102, the string block that holds 154, the manifest and the version record.
        wanted |= {("5", "102"), ("6", str(154 // 16 + 1)), ("24", "1"), ("16", "1")}
        self.assertEqual(set(), wanted - found, self.resources)

    def test_the_version_record_names_the_program(self):
        record = subprocess.run(["wrestool", "-x", "--raw", "--type=16", "--name=1", PROGRAM], capture_output=True,
                                check=True).stdout.decode("utf-16-le", errors="replace")
        for text in ("T6InternetInstaller.exe", "1.0.0.1", "T6InternetInstaller"):
            self.assertIn(text, record)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
