#!/usr/bin/python3
"""Quellix reference update server: answers the updater's requests for the
update sets kept under a directory, over HTTP and (with a certificate) HTTPS,
on 127.0.0.1 only.

    update_server.py ROOT [--port N] [--port-file F] [--tls-port N --cert C --key K] [--static]

ROOT holds one directory per update set, named after its version (as
make_update_set.py builds them), each with the set's files and "set.lst"
(one "name size crc" line per file). A request on any path outside /sets/
is an update request: the newest set newer than the "v" of the query is
offered ("ReturnCode: 0", "ProductVersion", "Expire" and a "File" line per
file, downloaded from /sets/<version>/<name> of the same scheme, host and
port); with none newer the answer is "ReturnCode: 1". Every request line is
appended to ROOT/requests.log. Standard library only.

With --static (the updater's tests) ROOT's files are served as they are at
every path, so that a test can lay out any response or file it wants to be
sent. Two prefixes shape the sending: a path under /slow/ is sent in pieces
of 2048 bytes with pauses, so that a test can cancel a download half-way,
and one under /delay/ is answered after a pause, so that a test sees the
updater waiting.
"""
import argparse
import http.server
import os
import ssl
import sys
import threading
import time
import urllib.parse

EXPIRE_SECONDS = 600
SLOW_PIECE_BYTES = 2048
SLOW_PAUSE_SECONDS = 0.05
DELAY_SECONDS = 1.5


def version_key(text):
    """The last four numbers of a dotted version (the updater compares those)."""
    try:
        parts = [int(p) for p in text.split(".")]
    except ValueError:
        return None
    if not 4 <= len(parts) <= 5:
        return None
    return tuple(parts[-4:])


def sets_of(root):
    found = []
    for name in os.listdir(root):
        key = version_key(name)
        if key and os.path.isfile(os.path.join(root, name, "set.lst")):
            found.append((key, name))
    return sorted(found)


def read_manifest(set_dir):
    files = []
    with open(os.path.join(set_dir, "set.lst")) as f:
        for line in f:
            fields = line.split()
            if len(fields) == 3:
                files.append((fields[0], int(fields[1]), int(fields[2])))
    return files


def answer(root, query, base_address):
    asked = version_key(query.get("v", [""])[0])
    if asked is None:
        return "ReturnCode: -5\r\n"
    newer = [s for s in sets_of(root) if s[0] > asked]
    if not newer:
        return "ReturnCode: 1\r\n"
    version = newer[-1][1]
    lines = ["ReturnCode: 0", "ProductVersion: " + version, "Expire: %d" % EXPIRE_SECONDS]
    for name, size, crc in read_manifest(os.path.join(root, version)):
        address = "%s/sets/%s/%s" % (base_address, version, urllib.parse.quote(name))
        lines.append("File: %s,%d,%d,%s" % (name, size, crc, address))
    return "\r\n".join(lines) + "\r\n"


def make_handler(root, scheme, static=False):
    class Handler(http.server.SimpleHTTPRequestHandler):
        protocol_version = "HTTP/1.0"

        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=root, **kwargs)

        def log_message(self, format, *args):
            pass

        def do_GET(self):
            with open(os.path.join(root, "requests.log"), "a") as log:
                log.write(self.path + "\n")
            if static:
                return self.send_static()
            address = urllib.parse.urlsplit(self.path)
            if address.path.startswith("/sets/"):
                self.path = address.path[len("/sets"):]
                return super().do_GET()
            host = self.headers.get("Host") or "127.0.0.1:%d" % self.server.server_address[1]
            body = answer(root, urllib.parse.parse_qs(address.query),
                          "%s://%s" % (scheme, host)).encode("ascii")
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def send_static(self):
            if self.path.startswith("/delay/"):
                time.sleep(DELAY_SECONDS)
                self.path = self.path[len("/delay"):]
            if not self.path.startswith("/slow/"):
                return super().do_GET()
            name = os.path.join(root, urllib.parse.urlsplit(self.path[len("/slow/"):]).path)
            try:
                with open(name, "rb") as f:
                    data = f.read()
            except OSError:
                return self.send_error(404)
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            for at in range(0, len(data), SLOW_PIECE_BYTES):
                try:
                    self.wfile.write(data[at:at + SLOW_PIECE_BYTES])
                    self.wfile.flush()
                except OSError:
                    return
                time.sleep(SLOW_PAUSE_SECONDS)

    return Handler


def serve(root, port, scheme, context=None, static=False):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port),
                                             make_handler(root, scheme, static))
    if context:
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("root")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--tls-port", type=int, default=0)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--static", action="store_true",
                        help="serve ROOT's files as they are at every path (for tests)")
    args = parser.parse_args()
    ports = [str(serve(args.root, args.port, "http", static=args.static))]
    if args.cert and args.key:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        ports.append(str(serve(args.root, args.tls_port, "https", context, args.static)))
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write(" ".join(ports))
        os.replace(args.port_file + ".tmp", args.port_file)
    print("serving %s on 127.0.0.1 port(s) %s" % (args.root, " ".join(ports)), flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    sys.exit(main())
