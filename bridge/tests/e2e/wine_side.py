"""The Windows side of the bridge's end-to-end tests: programs of the tree run
in its Wine prefix through wine-run, the real QLX.exe started and ended as a
user does, the stand-in popup service, the options in the registry. Needs
QLX_BIN_DIR and QLX_WINE_RUN (set by ctest or the demo)."""
import os
import struct
import subprocess
import time

BIN = os.environ["QLX_BIN_DIR"]
WINE_RUN = os.environ["QLX_WINE_RUN"]
OPTIONS_KEY = r"HKCU\Software\Quellix\Options"
failures = []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def run(*args, stdin=None, timeout=60):
    """A Windows program, to its end: (exit code, stdout bytes)."""
    p = subprocess.run([WINE_RUN, *args], input=stdin, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, cwd=BIN, timeout=timeout)
    return p.returncode, p.stdout


def set_option(name, value):
    run("reg", "add", OPTIONS_KEY, "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f")


def option(name):
    _, out = run("reg", "query", OPTIONS_KEY, "/v", name)
    for line in out.decode(errors="replace").splitlines():
        parts = line.split()
        if parts and parts[0] == name:
            return parts[-1]
    return None


def history_text():
    _, out = run("cmd", "/c", "type", r"%APPDATA%\Quellix\history.lst")
    return out.decode(errors="replace").replace("\r", "")


class Tray:
    """The real QLX.exe, or the stand-in popup service in its place."""

    def __init__(self):
        self.process = None

    def start(self, stand_in_log=None, answers=()):
        """QLX.exe, or with a log file (a Unix path) the stand-in, which
        writes READY there once it serves."""
        if stand_in_log:
            if os.path.exists(stand_in_log):
                os.remove(stand_in_log)
            args = ["popup_service_stand_in.exe", "--log=Z:" + stand_in_log.replace("/", "\\")]
            args += ["--answer=" + a for a in answers]
        else:
            args = [os.environ.get("QLX_TRAY_EXE", "QLX.exe")]
        self.process = subprocess.Popen([WINE_RUN, *args], cwd=BIN, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.stand_in = bool(stand_in_log)
        if self.stand_in:
            ready = wait_until(lambda: os.path.exists(stand_in_log)
                               and "READY" in open(stand_in_log).read(), 30)
        else:
            ready = run("tray_test_driver.exe", "wait-mutex")[0] == 0
        if not ready:
            raise RuntimeError("the tray program did not start")

    def exit(self):
        """The user's way out (Exit, then Yes): settings and history saved."""
        if not self.process:
            return True
        if self.stand_in:
            code, _ = run("popup_service_stand_in.exe", "--stop")
        else:
            code, _ = run("tray_test_driver.exe", "exit-tray")
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.kill()
            return False
        self.process = None
        if self.stand_in:
            run("taskkill", "/F", "/IM", "rpcss.exe")  # its class registration goes too
        return code == 0

    def kill(self):
        run("taskkill", "/F", "/IM", "QLX.exe")
        run("taskkill", "/F", "/IM", "popup_service_stand_in.exe")
        if self.process:
            self.process.wait(timeout=30)
            self.process = None
        # rpcss keeps a killed server's class registration: it starts afresh.
        run("taskkill", "/F", "/IM", "rpcss.exe")


def fresh_tray_state():
    """No tray program, factory settings, no history, no allowed sites."""
    Tray().kill()
    run("reg", "delete", r"HKCU\Software\Quellix", "/f")
    for name in ("history.lst", "sites.lst"):
        run("cmd", "/c", "del", "%APPDATA%\\Quellix\\" + name)


def frame(payload):
    data = payload if isinstance(payload, bytes) else payload.encode()
    return struct.pack("<I", len(data)) + data


def unframe(stream):
    """The messages in a stream of frames, and whether it ended whole."""
    out, at = [], 0
    while at + 4 <= len(stream):
        (n,) = struct.unpack_from("<I", stream, at)
        if at + 4 + n > len(stream):
            return out, False
        out.append(stream[at + 4:at + 4 + n].decode())
        at += 4 + n
    return out, at == len(stream)


def wait_until(predicate, seconds, step=0.1):
    end = time.monotonic() + seconds
    while True:
        value = predicate()
        if value or time.monotonic() >= end:
            return value
        time.sleep(step)
