#!/usr/bin/python3
"""A local update server for the updater's Windows tests.

Serves the files under ROOT on 127.0.0.1 (never any other address) and
writes the port it got into PORT_FILE; with CERT and KEY it speaks TLS. Every request line is appended to
ROOT/requests.log. Paths under /slow/ are sent in small pieces with pauses,
so that a test can cancel a download half-way; paths under /delay/ are
answered after a pause, so that a test sees the updater waiting.
"""
import http.server
import os
import ssl
import sys
import time

ROOT, PORT_FILE = sys.argv[1], sys.argv[2]


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=ROOT, **kwargs)

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        with open(os.path.join(ROOT, "requests.log"), "a") as log:
            log.write(self.path + "\n")
        if self.path.startswith("/delay/"):
            time.sleep(1.5)
            self.path = self.path[len("/delay"):]
        if not self.path.startswith("/slow/"):
            return super().do_GET()
        name = os.path.join(ROOT, self.path[len("/slow/"):].split("?")[0])
        try:
            with open(name, "rb") as f:
                data = f.read()
        except OSError:
            return self.send_error(404)
        self.send_response(200)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        for at in range(0, len(data), 2048):
            try:
                self.wfile.write(data[at:at + 2048])
                self.wfile.flush()
            except OSError:
                return
            time.sleep(0.05)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
if len(sys.argv) > 4:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[3], sys.argv[4])
    server.socket = context.wrap_socket(server.socket, server_side=True)
with open(PORT_FILE + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(PORT_FILE + ".tmp", PORT_FILE)
server.serve_forever()
