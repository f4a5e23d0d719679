"""Debian's Chromium, headless, with the Quellix extension and its native
messaging host (qlxhost.exe through Wine), driven through the DevTools
protocol as a user would drive it: clicks and keys are input events. Pages
come from a server on 127.0.0.1; nothing leaves the machine."""
import http.server
import json
import os
import shutil
import socketserver
import subprocess
import threading
import time
import urllib.parse

import websocket

EXTENSION_ID = "nkmfncjapicelkhdcoipjghlpfmnjenf"
HOST_NAME = "com.quellix.bridge"
MODIFIERS = {"alt": 1, "ctrl": 2, "meta": 4, "shift": 8}

PAGES = {
    "/onload.html": "<title>Opens on load</title><body onload=\"window.open('/ad.html?' + location.search.slice(1))\">"
                    "<p>A page that opens a window as it loads.</p>",
    "/click.html": """<title>Clicks</title><style>div,a{display:block;margin:10px;padding:20px;
        background:#eee}</style>
        <div id=spot onclick="window.open('/ad.html?' + location.search.slice(1))">anywhere</div>
        <a id=blank target=_blank href="/article.html">an article in a new tab</a>
        <script>blank.href += "?" + location.search.slice(1)</script>""",
    # A window without toolbar and menu bar, opened by a click.
    "/popup.html": """<title>Small window</title><style>div{margin:10px;padding:20px;
        background:#eee}</style>
        <div id=spot onclick="window.open('/ad.html?' + location.search.slice(1), '',
            'popup,width=320,height=240')">a small window</div>""",
    "/article.html": "<title>Article</title><p>An article the user asked for.",
    # An advertisement that takes its time: its load event comes only after
    # its picture, and it reports that load to the server.
    "/ad.html": "<title>Advertisement</title><img src=/slow.png>"
                "<script>onload = () => fetch('/loaded' + location.search)</script>",
}


class PageServer:
    def __init__(self):
        self.requests = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.requests.append(self.path)
                path = urllib.parse.urlsplit(self.path).path
                if path == "/slow.png":
                    time.sleep(1.5)
                body = PAGES.get(path, "").encode()
                self.send_response(200 if path in PAGES or path in ("/slow.png", "/loaded") else 404)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                try:
                    self.wfile.write(body)
                except OSError:
                    pass  # the window was closed while its page came

            def log_message(self, *args):
                pass

        class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
            daemon_threads = True

        self.httpd = Server(("127.0.0.1", 0), Handler)
        self.base = "http://127.0.0.1:%d" % self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def loaded(self, tag):
        return "/loaded?" + tag in self.requests

    def stop(self):
        self.httpd.shutdown()


class DevTools:
    """One connection to the browser, with flat sessions for its targets."""

    def __init__(self, url):
        self.ws = websocket.create_connection(url, timeout=30, suppress_origin=True)
        self.next_id = 0
        self.lock = threading.Lock()
        self.replies = {}
        self.events = []
        self.cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        while True:
            try:
                message = json.loads(self.ws.recv())
            except Exception:
                return
            with self.cond:
                if "id" in message:
                    self.replies[message["id"]] = message
                else:
                    self.events.append(message)
                self.cond.notify_all()

    def send(self, method, session=None, wait=True, **params):
        with self.lock:
            self.next_id += 1
            mid = self.next_id
        message = {"id": mid, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        self.ws.send(json.dumps(message))
        if not wait:
            return {}
        with self.cond:
            if not self.cond.wait_for(lambda: mid in self.replies, timeout=30):
                raise RuntimeError("no answer to " + method)
            reply = self.replies.pop(mid)
        if "error" in reply:
            raise RuntimeError("%s: %s" % (method, reply["error"]))
        return reply.get("result", {})

    def close(self):
        self.ws.close()


class Chromium:
    def __init__(self, work, launcher_lines, popup_blocking):
        self.work = work
        self.profile = os.path.join(work, "profile")
        shutil.rmtree(self.profile, ignore_errors=True)
        hosts = os.path.join(self.profile, "NativeMessagingHosts")
        os.makedirs(hosts)
        launcher = os.path.join(work, "qlxhost-launcher.sh")
        with open(launcher, "w") as f:
            f.write("#!/bin/sh\n" + "\n".join(launcher_lines) + "\n")
        os.chmod(launcher, 0o755)
        with open(os.path.join(hosts, HOST_NAME + ".json"), "w") as f:
            json.dump({"name": HOST_NAME, "description": "Quellix bridge", "path": launcher,
                       "type": "stdio",
                       "allowed_origins": ["chrome-extension://%s/" % EXTENSION_ID]}, f)
        extension = os.path.join(os.environ["QLX_SOURCE_DIR"], "browser-extension")
        args = ["/usr/bin/chromium", "--headless=new", "--no-sandbox", "--disable-gpu",
                "--disable-quic", "--no-first-run", "--no-default-browser-check",
                "--disable-background-networking", "--disable-component-update",
                "--disable-sync", "--disable-default-apps", "--password-store=basic",
                "--user-data-dir=" + self.profile, "--load-extension=" + extension,
                "--disable-extensions-except=" + extension, "--remote-debugging-port=0",
                "--remote-debugging-address=127.0.0.1", "--window-size=1024,768"]
        if not popup_blocking:
            args.append("--disable-popup-blocking")
        self.log = open(os.path.join(work, "chromium.log"), "w")
        started = time.monotonic()
        self.process = subprocess.Popen(args + ["about:blank"], stdin=subprocess.DEVNULL,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        active = os.path.join(self.profile, "DevToolsActivePort")
        end = time.monotonic() + 60
        while not os.path.exists(active) or len(open(active).read().split()) < 2:
            if time.monotonic() > end or self.process.poll() is not None:
                raise RuntimeError("Chromium did not start; see " + self.log.name)
            time.sleep(0.1)
        port, path = open(active).read().split()[:2]
        self.devtools = DevTools("ws://127.0.0.1:%s%s" % (port, path))
        self.worker = self._attach(lambda t: t["type"] == "service_worker"
                                   and EXTENSION_ID in t["url"], 30)
        self.startup_seconds = time.monotonic() - started
        target = self.devtools.send("Target.createTarget", url="about:blank")["targetId"]
        self.page = self.devtools.send("Target.attachToTarget", targetId=target,
                                       flatten=True)["sessionId"]
        self.devtools.send("Page.enable", session=self.page)

    def _attach(self, match, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            for t in self.devtools.send("Target.getTargets")["targetInfos"]:
                if match(t):
                    return self.devtools.send("Target.attachToTarget", targetId=t["targetId"],
                                              flatten=True)["sessionId"]
            time.sleep(0.2)
        raise RuntimeError("no extension service worker")

    def evaluate(self, session, expression):
        result = self.devtools.send("Runtime.evaluate", session=session, expression=expression,
                                    returnByValue=True, awaitPromise=True)
        return result["result"].get("value")

    def open(self, url):
        # In front again: a tab opened earlier took the foreground, and a page
        # behind it gets its input late.
        self.devtools.send("Page.bringToFront", session=self.page)
        self.devtools.send("Page.navigate", session=self.page, url=url)
        end = time.monotonic() + 20
        while time.monotonic() < end:
            if self.evaluate(self.page, "document.readyState === 'complete' && location.href") == url:
                return
            time.sleep(0.1)
        raise RuntimeError("the page did not load: " + url)

    def click(self, selector, keys=()):
        """A user's click in the middle of the element, with keys held."""
        box = self.evaluate(self.page, "(() => { const r = document.querySelector(%s)"
                            ".getBoundingClientRect(); return [r.x + r.width / 2,"
                            " r.y + r.height / 2]; })()" % json.dumps(selector))
        modifiers = sum(MODIFIERS[k] for k in keys)
        x, y = box
        send = self.devtools.send
        send("Input.dispatchMouseEvent", session=self.page, type="mouseMoved", x=x, y=y)
        send("Input.dispatchMouseEvent", session=self.page, type="mousePressed", x=x, y=y,
             button="left", clickCount=1, modifiers=modifiers)
        # A window opened by the click takes the foreground, and the page's
        # acknowledgement of the release then comes only seconds later.
        send("Input.dispatchMouseEvent", session=self.page, type="mouseReleased", x=x, y=y,
             button="left", clickCount=1, modifiers=modifiers, wait=False)

    def verdicts(self):
        return self.evaluate(self.worker, "self.recentVerdicts") or []

    def verdict_for(self, tag, seconds=20):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            for v in self.verdicts():
                if v["target"].endswith(tag):
                    return v
            time.sleep(0.1)
        return None

    def open_pages(self):
        return [t["url"] for t in self.devtools.send("Target.getTargets")["targetInfos"]
                if t["type"] == "page"]

    def windows(self):
        return self.evaluate(self.worker, "chrome.windows.getAll({populate: true}).then(ws =>"
                             " ws.map(w => ({type: w.type, urls: w.tabs.map(t => t.url ||"
                             " t.pendingUrl)})))")

    def close(self):
        try:
            self.devtools.send("Browser.close")
        except Exception:
            pass
        try:
            self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()


def work_dir(name):
    path = os.path.join(os.environ["QLX_BIN_DIR"], "..", name)
    os.makedirs(path, exist_ok=True)
    return os.path.abspath(path)

