"""Takes screenshots of every wizard page of the real program under Xvfb, reached through its
own page flow where there is one, into docs/screenshots/ (or the folder given).

    python3 tools/screenshots.py [folder]
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
import harness  # noqa: E402


def shoot(x, name, folder):
    window = harness.wait_for(lambda: x.window_named(harness.WINDOW_TITLE), what="installer window")
    _, _, left, top, width, height = window
    full = os.path.join(folder, "screen.png")
    x.screenshot(full)
    subprocess.run(["convert", full, "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                    os.path.join(folder, name + ".png")], check=True)
    os.remove(full)
    print(f"{name}.png  {width}x{height}")


def settle(session, page):
    session.wait_for_page(page)
    # Let images decode and the window take its new shape before the picture.
    session.execute("return new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")
    harness.time.sleep(0.3)


def main():
    folder = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join("docs", "screenshots"))
    os.makedirs(folder, exist_ok=True)
    x = harness.XServer()
    machine = harness.Machine()
    try:
        session = harness.Session(x, machine)
        try:
            settle(session, 132)
            shoot(x, "132", folder)
            session.click("userDefined")
            harness.time.sleep(0.5)
            shoot(x, "132-options", folder)
            session.click("userDefined")
            session.click("Licence")
            settle(session, 133)
            shoot(x, "133", folder)
            base = session.url().rsplit("/", 1)[0]
            # Page 134 mid-download from a slow download host, then with the failure alert.
            slow = harness.FaultyDownloadHost("slow/40000000/2048/20")
            try:
                session.command("POST", "/url", {"url": base + "/134"})
                settle(session, 134)
                harness.wait_for(lambda: session.execute(
                    "return document.getElementById('Progress').style.width") not in ("", "0%"), what="some progress")
                harness.time.sleep(1.5)
                shoot(x, "134", folder)
            finally:
                slow.close()
            session.command("POST", "/url", {"url": base + "/134"})
            harness.wait_for(lambda: session.execute(
                "return getComputedStyle(document.getElementById('alert')).display") != "none", what="the alert")
            harness.time.sleep(0.3)
            shoot(x, "134-error", folder)
            for page in (136, 130, 131):
                session.command("POST", "/url", {"url": base + f"/{page}"})
                settle(session, page)
                shoot(x, str(page), folder)
        finally:
            session.close()
        session = harness.Session(x, machine, ["-u"])
        try:
            settle(session, 129)
            shoot(x, "129", folder)
        finally:
            session.close()
    finally:
        machine.close()
        x.close()


if __name__ == "__main__":
    main()
