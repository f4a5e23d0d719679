"""qlxhost.exe as the browser starts it: frames on its standard input, the
answers on its standard output, against the real QLX.exe and the stand-in
popup service in the tree's Wine prefix."""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_side import (BIN, Tray, check, failures, frame, fresh_tray_state, history_text,  # noqa: E402
                       option, run, unframe)

ORIGIN = "chrome-extension://nkmfncjapicelkhdcoipjghlpfmnjenf/"


def question(qid, browser="chrome", click=None, kind="normal", target=None):
    return {"id": qid, "browser": browser,
            "opener": {"title": "Shop \u00e9", "url": "http://127.0.0.1:8080/dir/shop.html"},
            "target": target or "http://127.0.0.1:8080/ad.html?%d" % qid, "click": click,
            "window": {"type": kind, "left": 10, "top": 20, "width": 400, "height": 300}}


def host(*messages, args=(ORIGIN,)):
    stream = b"".join(m if isinstance(m, bytes) else frame(json.dumps(m)) for m in messages)
    code, out = run("qlxhost.exe", *args, stdin=stream)
    replies, whole = unframe(out)
    return code, [json.loads(r) for r in replies], whole


link_click = {"element": "A", "link": True, "newWindow": True, "ageMs": 30,
              "ctrl": False, "shift": False, "alt": False}
ctrl_click = dict(link_click, element="DIV", link=False, newWindow=False, ctrl=True)

run("QLX.exe", "/RegServer")
fresh_tray_state()
log = os.path.join(BIN, "host-test-stand-in.log")

# Without a tray program every window is let through.
code, replies, whole = host(question(1), question(2, kind="popup"))
check(code == 0 and whole and [r["verdict"] for r in replies] == ["allow", "allow"]
      and replies[0]["reason"] == "the tray program is not running",
      "without the tray program both windows are let through (%s)" % replies)

# Bad input gets an error reply and never reaches the service.
tray = Tray()
tray.start(stand_in_log=log)
too_long = frame(b" " * (1024 * 1024 + 1))
bad = [too_long, frame(b"{\"id\":5,"), frame(b"\xff\xfe"), frame(b"[]"),
       dict(question(6), extra=1), question(7, browser="firefox"),
       dict(question(8), click=dict(link_click, meta=True))]
code, replies, whole = host(*bad, question(9))
check(code == 0 and whole and len(replies) == 8, "every bad message has its reply (%d)" % len(replies))
errors = [r.get("error", "") for r in replies[:7]]
check(all(errors), "bad messages get error replies: %s" % errors)
check("over the limit of 1 MB" in errors[0], "a frame over 1 MB is refused: " + errors[0])
check(replies[1]["id"] is None and "invalid JSON" in errors[1], "invalid JSON is refused")
check(replies[4]["id"] == 6 and "unknown field extra" in errors[4], "an unknown field is refused")
check("unknown field click.meta" in errors[6], "an unknown field of the click is refused")
check(replies[7].get("verdict") == "block", "the good question after them is answered: %s" % replies[7])
calls = open(log, encoding="cp1252").read().splitlines() if os.path.exists(log) else []
blocks = [c for c in calls if c.startswith("Block|")]
open(log, "w").close()
check(len(blocks) == 1, "only the good question reached the service (%d Block calls)" % len(blocks))

# The process is the browser's; the calls are those of the integrator.
code, replies, _ = host(question(10, browser="edge"), question(11, click=link_click))
calls = open(log, encoding="cp1252").read().splitlines()
check(any(c.startswith("Block|Shop \u00e9|") and "|msedge.exe|" in c for c in calls),
      "Edge's pop-up reaches Block with msedge.exe: %s" % [c for c in calls if c.startswith("Block")])
check(replies[1]["verdict"] == "allow" and "clicked a link" in replies[1]["reason"],
      "a clicked link that opens a new window is let through")
for member in ("Enable", "Ignore", "IgnoreCtrl", "BlockOnUserRequest", "Normalize", "Block2"):
    check(member in [c.split("|")[0] for c in calls], "the bridge asks %s" % member)
tray.exit()

# A refused caller gets nothing.
code, replies, _ = host(question(12), args=("chrome-extension://aaaabbbbccccddddeeeeffffgggghhhh/",))
check(code == 2 and not replies, "another extension is refused (exit code %d)" % code)

# The real tray program: blocked pop-ups are recorded once each.
tray.start()
code, replies, _ = host(question(20), question(21, click=ctrl_click), question(22, kind="popup"))
check([r["verdict"] for r in replies] == ["block", "allow", "block"],
      "QLX.exe: on-load pop-up blocked, Ctrl let through, popup window blocked: %s" % replies)
check(tray.exit(), "QLX.exe ends normally")
history = history_text()
check(history.count("ad.html?20") == 1 and history.count("ad.html?22") == 1
      and "ad.html?21" not in history, "history.lst holds each blocked pop-up once")
check(history.startswith("2\n") and "http://127.0.0.1:8080\n" in history,
      "history.lst: two entries, the opener cut to its site")
check(option("PopupBlockedTotal_Count") == "0x2", "the total counter is 2")

sys.exit(1 if failures else 0)
