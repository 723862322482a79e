"""The download end to end: the real program fetches its package from a local download host on
the address built into it, with the figures on page 134, pause, continue, leave and failures."""

import os
import shutil
import tempfile
import time
import unittest

import harness
from harness import ROOMY, DownloadHost, FaultyDownloadHost, ScreenTestCase, wait_for

PACKAGE = "c:\\Program Files (x86)\\Tessaly\\tesl6.hv"


class DownloadTest(ScreenTestCase):
    def setUp(self):
        self.new_machine(ROOMY)

    def install(self):
        return self.start_installation()

    def text(self, session, element_id):
        return session.execute(f"return document.getElementById('{element_id}').innerText")

    def test_downloads_the_package_from_nginx_byte_for_byte(self):
        www = tempfile.mkdtemp(prefix="t6-www-")
        self.addCleanup(shutil.rmtree, www, True)
        os.makedirs(os.path.join(www, "download"))
        package = os.path.join(www, "download", "T6.zip")
        with open(package, "wb") as f:
            f.write(os.urandom(3 * 1024 * 1024 + 123))
        host = DownloadHost(www)
        self.addCleanup(host.close)
        session = self.install()
        wait_for(lambda: self.text(session, "DownloadInfo").startswith("100% "), what="the download to finish")
        self.assertRegex(self.text(session, "DownloadInfo"), r"^100% \d+KB/秒 \[3072KB/3072KB\]$")
        self.assertEqual("100%", session.execute("return document.getElementById('Progress').style.width"))
        # The page reaches 100 % a moment before the worker has closed the file.
        wait_for(lambda: os.path.getsize(self.machine.host_path(PACKAGE)) == os.path.getsize(package),
                 what="the package file to be complete")
        with open(package, "rb") as expected, open(self.machine.host_path(PACKAGE), "rb") as got:
            self.assertEqual(expected.read(), got.read())

    def test_a_failed_download_shows_the_alert_and_its_button_ends_the_program(self):
        session = self.install()  # nothing listens on the package address
        wait_for(lambda: session.execute("return getComputedStyle(document.getElementById('alert')).display")
                 != "none", what="the alert")
        self.assertIn("发生错误:无法连接到服务器", self.text(session, "msg"))
        self.assertIn("请确认网络正常后再试一次", self.text(session, "msg"))
        window_id = self.x.window_named(harness.WINDOW_TITLE)[0]
        session.click_ending_the_program("AlertOK")
        wait_for(lambda: all(w[0] != window_id for w in self.x.windows()), what="the program to end")

    def test_pause_continue_and_leave(self):
        host = FaultyDownloadHost("slow/2000000/2048/10")
        self.addCleanup(host.close)
        session = self.install()
        wait_for(lambda: self.text(session, "DownloadInfo").endswith("KB]"), what="the first figures")
        # A double click on the close mark asks once: one "取消" lets the download go on.
        session.click("BtnPause")
        session.click("BtnPause")
        self.assertNotEqual("none", session.execute(
            "return getComputedStyle(document.getElementById('confirm')).display"))
        time.sleep(0.5)
        held = self.text(session, "DownloadInfo")
        time.sleep(0.7)
        self.assertEqual(held, self.text(session, "DownloadInfo"), "the download holds while the page asks")
        session.click("btnConfirmCancel")
        wait_for(lambda: self.text(session, "DownloadInfo") != held, what="the download to go on")
        self.assertTrue(os.path.exists(self.machine.host_path(PACKAGE)))
        session.click("BtnPause")
        window_id = self.x.window_named(harness.WINDOW_TITLE)[0]
        session.click_ending_the_program("btnConfirmOK")
        wait_for(lambda: all(w[0] != window_id for w in self.x.windows()), what="the program to end")
        self.assertFalse(os.path.exists(self.machine.host_path(PACKAGE)))


if __name__ == "__main__":
    unittest.main()
