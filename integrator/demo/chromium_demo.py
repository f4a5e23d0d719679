"""The demo's Chromium part: the pages of the demo in headless Chromium with
the Quellix extension, whose bridge (the installed qlxhost.exe, through Wine)
asks the tray program that the demo runs. Prints each verdict with its reason.
Needs QLX_BIN_DIR, QLX_WINE_RUN, QLX_SOURCE_DIR and QLX_BRIDGE_EXE."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.environ["QLX_SOURCE_DIR"], "bridge", "tests", "e2e"))
from chromium_side import Chromium, PageServer, work_dir  # noqa: E402

SCENARIOS = [  # name, page, element clicked (or none), keys held, address opened
    ("on-load", "onload.html", None, (), "ad.html"),
    ("link-click", "click.html", "#blank", (), "article.html"),
    ("page-click", "click.html", "#spot", (), "ad.html"),
    ("key-click", "click.html", "#spot", ("ctrl",), "ad.html"),
    ("key-click", "click.html", "#spot", ("shift",), "ad.html"),
]

work = work_dir("demo-chromium")
launcher = ['exec "%s" "%s" "$@" 2>/dev/null' % (os.environ["QLX_WINE_RUN"],
                                                   os.environ["QLX_BRIDGE_EXE"])]
server = PageServer()
browser = Chromium(work, launcher, popup_blocking=False)
status = 0
try:
    version = subprocess.run(["/usr/bin/chromium", "--version"], capture_output=True,
                             text=True).stdout.split(" built")[0].strip()
    print("  %s with the extension, ready in %.1f s" % (version, browser.startup_seconds))
    for number, (name, page, selector, keys, target) in enumerate(SCENARIOS):
        tag = "%s%d" % (name.replace("-", ""), number)
        browser.open("%s/%s?%s" % (server.base, page, tag))
        if selector:
            browser.click(selector, keys)
        verdict = browser.verdict_for("%s?%s" % (target, tag))
        held = " with %s held" % "+".join(k.capitalize() for k in keys) if keys else ""
        if verdict is None:
            print("  %-14s no verdict%s" % (name, held))
            status = 1
            continue
        shown = "BLOCKED     " if verdict["verdict"] == "block" else "let through "
        # From the window's appearance to its verdict carried out.
        print("  %-14s %-34s %s %5dms (%s)%s" % (name, "/%s?%s" % (target, tag), shown,
                                                verdict["ms"]["total"], verdict["reason"], held))
finally:
    browser.close()
    server.stop()
sys.exit(status)
