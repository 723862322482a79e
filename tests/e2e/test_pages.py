"""The wizard pages end to end: real clicks through WebKitWebDriver on the real program, with
the window's size and place read from the X server."""

import os
import stat
import subprocess
import time
import unittest

import harness
from harness import RECORD_KEY, ROOMY, Machine, ScreenTestCase, Session, XServer, wait_for

SUPPORTED = '<span style="margin-left:2px;color:#0000ff">系统支持本软件</span>'


class PagesTest(ScreenTestCase):
    def start(self, ini=ROOMY, args=()):
        self.new_machine(ini)
        session = self.open_session(args)
        session.wait_for_page(129 if args else 132)
        return session

    def window(self):
        return wait_for(lambda: self.x.window_named(harness.WINDOW_TITLE), what="installer window")[2:]

    def wait_for_window(self, geometry):
        return wait_for(lambda: (self.x.window_named(harness.WINDOW_TITLE) or [None] * 6)[2:] == geometry,
                        what=f"window at {geometry}")

    def visible(self, session, element_id):
        return session.execute(f"return getComputedStyle(document.getElementById('{element_id}')).display"
                               " !== 'none'")

    def assert_stays_on_132(self, session):
        time.sleep(0.7)  # what a page change would take, and more
        self.assertTrue(session.url().endswith("/132"))

    def test_agreement_page_opens_tall_and_goback_returns_folded(self):
        session = self.start()
        session.click("userDefined")
        self.wait_for_window((608, 282, 604, 516))
        session.click("Licence")
        session.wait_for_page(133)
        self.wait_for_window((608, 252, 604, 575))
        session.click("GoBack")
        session.wait_for_page(132)
        self.wait_for_window((608, 347, 604, 386))
        self.assertFalse(self.visible(session, "setupWhere"))

    def test_options_toggle_on_the_text_and_on_the_image(self):
        session = self.start()
        for element, height, shown in (("userDefined", 516, True), ("userDefinedImg", 386, False),
                                       ("userDefinedImg", 516, True), ("userDefined", 386, False)):
            with self.subTest(click=element):
                session.click(element)
                self.wait_for_window((608, (1080 - height) // 2, 604, height))
                self.assertEqual(shown, self.visible(session, "setupWhere"))

    def test_agreement_unticked_then_agreement_page_and_back_still_blocks_the_install(self):
        session = self.start()
        session.click("Accept")  # off
        session.click("ifSetup")
        wait_for(lambda: self.visible(session, "alert"), what="the agreement notice")
        self.assertIn("请您确认使用许可协议并勾选选框", session.execute("return document.getElementById('alert').innerText"))
        self.assert_stays_on_132(session)
        session.click("alert")
        session.click("Licence")
        session.wait_for_page(133)
        session.click("GoBack")
        session.wait_for_page(132)
        # The page shows the box ticked again, but the program still holds the refusal.
        self.assertEqual("res:/png/#144",
                         session.execute("return document.getElementById('Accept').getAttribute('src')"))
        session.click("ifSetup")
        self.assert_stays_on_132(session)
        session.click("Accept")  # off
        session.click("Accept")  # on
        session.click("ifSetup")
        session.wait_for_page(134)
        self.wait_for_window((608, 347, 604, 385))

    def test_accept_and_install_accepts_in_any_case(self):
        session = self.start()
        session.click("Accept")  # off
        session.click("Licence")
        session.wait_for_page(133)
        session.click("AcceptAndInstall")
        session.wait_for_page(134)

    def test_install_start_needs_space_and_a_supported_system(self):
        cases = [
            ("[drive.c]\nfree_bytes = 524287999\n", False),
            ("[windows]\nmajor = 5\nminor = 1\n" + ROOMY, False),
            ("[windows]\nversion_query_fails = 1\n" + ROOMY, False),
            ("[drive.c]\nfree_bytes = 524288000\n", True),
        ]
        for ini, starts in cases:
            with self.subTest(ini=ini):
                session = self.start(ini)
                session.click("ifSetup")
                if starts:
                    session.wait_for_page(134)
                else:
                    self.assert_stays_on_132(session)
                    self.assertFalse(self.visible(session, "alert"))
                session.close()

    def test_info_line_on_windows_10_with_50_gib_free(self):
        session = self.start()
        wait_for(lambda: "51200MB" in session.execute("return document.getElementById('Info').innerHTML"),
                 what="the location check")
        self.assertEqual("所需磁盘空间500MB，可用磁盘空间51200MB  Microsoft Windows 10 " + SUPPORTED,
                         session.execute("return document.getElementById('Info').innerHTML"))

    def test_browse_picks_a_folder_whose_name_is_markup(self):
        session = self.start(ROOMY + "[drive.d]\nfree_bytes = 600000000\n")
        folder = os.path.join(self.machine.root, "drive_d", "A&B<i>x")
        os.makedirs(folder)
        session.click("userDefined")
        self.wait_for_window((608, 282, 604, 516))  # the options are in view before the click
        session.click("Browse")
        chooser = wait_for(lambda: self.x.window_named("请选择一个文件夹："), what="the folder picker")
        xdo = lambda *args: subprocess.run(["xdotool", *args], env={**os.environ, **self.x.env()}, check=True)
        xdo("windowfocus", "--sync", chooser[0])
        xdo("key", "ctrl+l")
        xdo("type", "--delay", "5", folder + "/")
        time.sleep(0.3)
        xdo("key", "Return")
        wait_for(lambda: self.x.window_named("请选择一个文件夹：") is None, what="the picker to close")
        wait_for(lambda: "572MB" in session.execute("return document.getElementById('Info').innerHTML"),
                 what="the location check of the picked folder")
        self.assertEqual("D:\\A&B<i>x", session.execute("return document.getElementById('Directry').innerText"))
        self.assertEqual(0, session.execute("return document.getElementsByTagName('i').length"))

    def test_days_of_use_from_the_install_time(self):
        # Just under a day: the clock runs on between writing the record and the page load.
        for offset, days in ((-90000, "1"), (-86390, "0"), (1000, "0"), (90000, "-1")):
            with self.subTest(offset=offset):
                self.new_machine()
                tick = int(time.time()) + offset
                self.machine.reg("add", RECORD_KEY, "/v", "InstallTick", "/t", "REG_DWORD", "/d", str(tick), "/f")
                session = Session(self.x, self.machine, ["-u"])
                try:
                    session.wait_for_page(129)
                    wait_for(lambda: session.execute("return document.getElementById('UseDay').innerText") != "100",
                             what="the days line")
                    self.assertEqual(days, session.execute("return document.getElementById('UseDay').innerText"))
                finally:
                    session.close()

    def test_no_record_keeps_the_placeholder_days(self):
        session = self.start(args=["-u"])
        time.sleep(0.5)
        self.assertEqual("100", session.execute("return document.getElementById('UseDay').innerText"))

    def test_no_context_menu_and_no_way_out_of_the_program_pages(self):
        session = self.start()
        shown = lambda: len([w for w in self.x.windows() if self.x.is_viewable(w[0])])
        before = shown()
        # A real right click from the X server (the driver's own right click ends as a left one).
        _, _, left, top, _, _ = self.x.window_named(harness.WINDOW_TITLE)
        subprocess.run(["xdotool", "mousemove", str(left + 300), str(top + 100), "click", "3"],
                       env={**os.environ, **self.x.env()}, check=True)
        time.sleep(0.7)
        self.assertEqual(before, shown())
        session.execute("location.href = 'http://127.0.0.1:9/elsewhere'")
        time.sleep(0.5)
        self.assertTrue(session.url().endswith("/132"), session.url())

    def test_run_starts_the_product_and_ends(self):
        session = self.start()
        product_dir = self.machine.host_path("c:\\Program Files (x86)\\Tessaly\\")
        os.makedirs(product_dir)
        marker = os.path.join(self.machine.root, "started")
        product = os.path.join(product_dir, "T6.EXE")
        with open(product, "w") as f:
            f.write(f"#!/bin/sh\npwd > '{marker}'\n")
        os.chmod(product, os.stat(product).st_mode | stat.S_IEXEC)
        window_id = self.x.window_named(harness.WINDOW_TITLE)[0]
        # Only the pages' own flow leads to page 136; the test takes a shortcut once page 132 has
        # finished its location check.
        wait_for(lambda: "51200MB" in session.execute("return document.getElementById('Info').innerHTML"),
                 what="the location check")
        session.command("POST", "/url", {"url": session.url().rsplit("/", 1)[0] + "/136"})
        session.wait_for_page(136)
        session.click_ending_the_program("BtnRun")
        wait_for(lambda: os.path.exists(marker) and os.path.getsize(marker) > 0, what="the product to start")
        with open(marker) as f:
            self.assertEqual(os.path.realpath(product_dir), os.path.realpath(f.read().strip()))
        wait_for(lambda: all(w[0] != window_id for w in self.x.windows()), what="the program to end")


class WindowManagerTest(unittest.TestCase):
    """Minimising needs a window manager, as on a desktop."""

    def test_minimise_then_close(self):
        x = XServer(1920, 1080, window_manager=True)
        self.addCleanup(x.close)
        machine = Machine(ROOMY)
        self.addCleanup(machine.close)
        session = Session(x, machine)
        self.addCleanup(session.close)
        session.wait_for_page(132)
        window_id, _, left, top, _, _ = wait_for(lambda: x.window_named(harness.WINDOW_TITLE),
                                                 what="installer window")
        # A real click from the X server: the driver's click waits for a frame that a minimised
        # window never draws.
        cx, cy = session.execute("var r = document.getElementById('BtnMin').getBoundingClientRect();"
                                 "return [Math.round(r.left + r.width / 2), Math.round(r.top + r.height / 2)];")
        subprocess.run(["xdotool", "mousemove", str(left + cx), str(top + cy), "click", "1"],
                       env={**os.environ, **x.env()}, check=True)
        wait_for(lambda: "Iconic" in subprocess.run(["xprop", "-id", window_id, "WM_STATE"],
                                                    env={**os.environ, **x.env()}, capture_output=True,
                                                    text=True).stdout, what="the window to be minimised")
        self.assertFalse(x.is_viewable(window_id))
        # Back through the taskbar, as a user would bring it back.
        subprocess.run(["xdotool", "windowactivate", "--sync", window_id], env={**os.environ, **x.env()}, check=True)
        wait_for(lambda: x.is_viewable(window_id), what="the window to come back")
        session.click_ending_the_program("BtnClose")
        wait_for(lambda: all(w[0] != window_id for w in x.windows()), what="the program to end")


if __name__ == "__main__":
    unittest.main()
