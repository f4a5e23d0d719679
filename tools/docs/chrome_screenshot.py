"""The README's picture of Edge and Chrome: pop-ups that the Quellix extension
met in headless Chromium, blocked through qlxhost.exe and the real QLX.exe on
the build tree's X server, then the tray program's history.
  chrome_screenshot.py BUILD_TREE OUTPUT.png"""
import os
import subprocess
import sys
import time

tree = os.path.abspath(sys.argv[1])
out = os.path.abspath(sys.argv[2])
root = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
os.environ.update(QLX_BIN_DIR=os.path.join(tree, "bin"), QLX_SOURCE_DIR=root,
                  QLX_WINE_RUN=os.path.join(tree, "wine-run-x11"))
sys.path.insert(0, os.path.join(root, "bridge", "tests", "e2e"))
from chromium_side import Chromium, PageServer, work_dir  # noqa: E402
from wine_side import WINE_RUN, BIN, Tray, fresh_tray_state, run  # noqa: E402

run("QLX.exe", "/RegServer")
fresh_tray_state()
tray = Tray()
tray.start()
time.sleep(3.5)  # the splash screen
server = PageServer()
browser = Chromium(work_dir("chromium-screenshot"), ['exec "%s" "%s/qlxhost.exe" "$@"'
                                                     % (WINE_RUN, BIN)], popup_blocking=False)
try:
    # A link the user clicks starts the bridge; nothing is recorded for it.
    browser.open(server.base + "/click.html?start")
    browser.click("#blank")
    browser.verdict_for("article.html?start", 30)
    browser.open(server.base + "/onload.html?banner=20931")
    browser.verdict_for("ad.html?banner=20931")
    browser.open(server.base + "/click.html?popunder=3")
    browser.click("#spot")
    browser.verdict_for("ad.html?popunder=3")
    for verdict in browser.verdicts():
        print("  %(verdict)s %(target)s (%(reason)s)" % verdict)
finally:
    browser.close()
    server.stop()
time.sleep(6)  # the tips go
drive = lambda *a: run("tray_test_driver.exe", *a)[1].decode().strip()  # noqa: E731
drive("show-main")
drive("place", "main", "900", "300")
time.sleep(0.5)
x, y, w, h = drive("rect", "main").split()
with open(os.path.join(tree, "wineprefix.xvfb")) as f:
    display = ":" + f.read().split()[0]
subprocess.run(["import", "-display", display, "-window", "root", "-crop",
                "%sx%s+%s+%s" % (w, h, x, y), "+repage", out], check=True)
print("  " + out)
tray.exit()
