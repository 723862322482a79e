"""The desktop shortcut that wine.core_run made in the prefix, read on the Linux side by lnkinfo
(liblnk), a reader nobody here wrote: the file is the public format, not just something Wine's
own shell link object reads back.
"""

import glob
import os
import subprocess
import unittest

from test_program import is_32_bit, wine_env

CORE_RUN = os.environ.get("T6_CORE_RUN", "")


class DesktopShortcut(unittest.TestCase):
    def test_lnkinfo_reads_target_folder_and_description(self):
        env = wine_env()
        if CORE_RUN and is_32_bit(CORE_RUN) and env.get("T6_WINE_RUNS_32BIT") != "1":
            reason = "wine.core_run did not run: Wine cannot run 32-bit programs on this kernel"
            print("SKIPPED:", reason)
            self.skipTest(reason)
        links = glob.glob(os.path.join(env["WINEPREFIX"], "drive_c", "users", "*", "Desktop", "TessalyT6.lnk"))
        self.assertEqual(1, len(links), "wine.core_run left no desktop shortcut in the prefix")
        out = subprocess.run(["lnkinfo", "-c", "windows-936", links[0]], capture_output=True, text=True,
                             timeout=30).stdout
        fields = {}
        for line in out.splitlines():
            name, sep, value = line.strip().partition(":")
            if sep:
                fields.setdefault(name.strip(), value.strip())
        self.assertEqual("c:\\program files (x86)\\tessaly\\t6\\t6.exe", fields.get("Local path", "").lower(), out)
        self.assertEqual("c:\\program files (x86)\\tessaly\\t6\\", fields.get("Working directory", "").lower(), out)
        self.assertEqual("TessalyT6", fields.get("Description"), out)


if __name__ == "__main__":
    unittest.main()
