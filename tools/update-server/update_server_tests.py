#!/usr/bin/python3
"""The reference update server and the set builder, without Wine: a set
built from a folder with an unchanged and a changed file, the answers to an
older, the same and a newer version, and downloads whose size and CRC-32
match their "File" lines, over HTTP and over TLS."""
import base64
import hashlib
import os
import ssl
import subprocess
import sys
import tempfile
import unittest
import urllib.error
import urllib.request
import zlib

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, utils

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_update_set  # noqa: E402
import update_server  # noqa: E402


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


class UpdateServerTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        top = self.tmp.name
        self.installed, self.built, self.sets = (os.path.join(top, n) for n in ("in", "b", "s"))
        for d in (self.installed, self.built, self.sets):
            os.makedirs(d)
        write(os.path.join(self.installed, "same.dll"), b"x" * 5000)
        write(os.path.join(self.built, "same.dll"), b"x" * 5000)
        write(os.path.join(self.installed, "QLX.exe"), b"old")
        write(os.path.join(self.built, "QLX.exe"), bytes(range(256)) * 40)
        write(os.path.join(self.built, "update.exe"), b"never in a set")
        self.key_path = os.path.join(top, "signing.pem")
        self.key = ec.generate_private_key(ec.SECP256R1())
        write(self.key_path, self.key.private_bytes(serialization.Encoding.PEM,
                                                    serialization.PrivateFormat.PKCS8,
                                                    serialization.NoEncryption()))
        make_update_set.build("1.0.0.2", self.sets, self.built, self.installed, [],
                              self.key_path, "QLX")
        make_update_set.build("1.0.0.1", self.sets, self.built, None, [], self.key_path, "QLX")
        self.port = update_server.serve(self.sets, 0, "http")

    def tearDown(self):
        self.tmp.cleanup()

    def ask(self, version, scheme="http", port=None, context=None):
        url = "%s://localhost:%d/q/update?proto=3&v=%s&platform=nt" % (
            scheme, port or self.port, version)
        with urllib.request.urlopen(url, context=context) as answer:
            return answer.read().decode("ascii").split("\r\n")

    def test_set_holds_the_changed_files_version_and_script(self):
        folder = os.path.join(self.sets, "1.0.0.2")
        self.assertEqual(sorted(os.listdir(folder)),
                         ["QLX.exe", "set.lst", "update.manifest", "update.script",
                          "version.dat"])
        with open(os.path.join(folder, "version.dat")) as f:
            self.assertEqual(f.read(), "1.0.0.2")
        with open(os.path.join(folder, "update.script"), newline="") as f:
            self.assertIn('copy QLX.exe "%AppDir%\\QLX.exe" rebootnone\r\n', f.read())

    def test_manifest_lists_every_file_and_is_signed(self):
        folder = os.path.join(self.sets, "1.0.0.2")
        with open(os.path.join(folder, "update.manifest"), "rb") as f:
            text = f.read()
        body, last = text[:text.rindex(b"Signature: ")], text[text.rindex(b"Signature: "):]
        lines = body.decode("ascii").split("\r\n")
        self.assertEqual(lines[:2], ["Product: QLX", "Version: 1.0.0.2"])
        files = [l[len("File: "):].split(", ") for l in lines if l.startswith("File: ")]
        self.assertEqual([f[0] for f in files], ["QLX.exe", "update.script", "version.dat"])
        for name, size, sha in files:
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            self.assertEqual((int(size), sha), (len(data), hashlib.sha256(data).hexdigest()))
        raw = base64.b64decode(last[len(b"Signature: "):].strip())
        signature = utils.encode_dss_signature(int.from_bytes(raw[:32], "big"),
                                               int.from_bytes(raw[32:], "big"))
        self.key.public_key().verify(signature, body, ec.ECDSA(hashes.SHA256()))
        with self.assertRaises(InvalidSignature):
            self.key.public_key().verify(signature, body + b" ", ec.ECDSA(hashes.SHA256()))

    def test_answers_by_version(self):
        for version, first in (("1.0.0.2", "ReturnCode: 1"), ("7.1.0.0.2", "ReturnCode: 1"),
                               ("9.9.9.9", "ReturnCode: 1"), ("1.0.0.1", "ReturnCode: 0"),
                               ("0.1.0.0.1", "ReturnCode: 0"), ("1.0.0", "ReturnCode: -5")):
            with self.subTest(version=version):
                self.assertEqual(self.ask(version)[0], first)

    def test_files_download_with_their_size_and_crc(self):
        lines = self.ask("1.0.0.0")
        self.assertIn("ProductVersion: 1.0.0.2", lines)
        files = [l[len("File: "):].split(",") for l in lines if l.startswith("File: ")]
        self.assertEqual([f[0] for f in files],
                         ["QLX.exe", "update.manifest", "update.script", "version.dat"])
        for name, size, crc, address in files:
            self.assertTrue(address.startswith("http://localhost:%d/sets/1.0.0.2/" % self.port))
            with urllib.request.urlopen(address) as download:
                data = download.read()
            self.assertEqual((len(data), zlib.crc32(data)), (int(size), int(crc)), name)

    def test_tls_answers_with_https_addresses(self):
        cert, key = (os.path.join(self.tmp.name, n) for n in ("c.pem", "k.pem"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=localhost", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
        server_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server_context.load_cert_chain(cert, key)
        port = update_server.serve(self.sets, 0, "https", server_context)
        client = ssl.create_default_context(cafile=cert)
        lines = self.ask("1.0.0.1", "https", port, client)
        self.assertIn("File: version.dat,7,%d,https://localhost:%d/sets/1.0.0.2/version.dat"
                      % (zlib.crc32(b"1.0.0.2"), port), lines)

    def test_static_mode_sends_files_as_they_are_whole_slowly_or_late(self):
        write(os.path.join(self.sets, "answer.txt"), b"ReturnCode: 1\r\n")
        write(os.path.join(self.sets, "big.dat"), bytes(range(256)) * 20)
        port = update_server.serve(self.sets, 0, "http", static=True)
        for path, data in (("/answer.txt?v=1.0.0.0", b"ReturnCode: 1\r\n"),
                           ("/slow/big.dat?x=1", bytes(range(256)) * 20),
                           ("/delay/answer.txt", b"ReturnCode: 1\r\n")):
            with self.subTest(path=path):
                with urllib.request.urlopen("http://127.0.0.1:%d%s" % (port, path)) as got:
                    self.assertEqual(got.read(), data)
        with self.assertRaises(urllib.error.HTTPError):
            urllib.request.urlopen("http://127.0.0.1:%d/slow/none.dat" % port)


if __name__ == "__main__":
    unittest.main()
