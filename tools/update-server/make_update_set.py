#!/usr/bin/python3
"""Builds an update set for the reference update server.

    make_update_set.py --version V --out ROOT --from DIR --key PRIVATE.pem
                       [--product ABBR] [--installed DIR] [FILE...]

Takes the FILEs of DIR (by default every file directly in DIR) that differ
from the copy in the installed folder (all of them without --installed),
and writes ROOT/V/: those files, a "version.dat" holding V, an
"update.script" that copies each changed file into %AppDir%, the signed
"update.manifest" (product ABBR, default QLX; version V; name, size and
SHA-256 of every other file; an ECDSA P-256 signature by PRIVATE.pem over
all of it), and "set.lst" with the name, size and CRC-32 of every file of
the set, the manifest included. Signing uses Debian's python3-cryptography.
"""
import argparse
import base64
import hashlib
import os
import shutil
import sys
import zlib

# Never part of a set: the updater cannot replace itself while it runs, and
# these are written by the program or by the updater itself.
SKIPPED = {"update.exe", "update.log", "version.dat", "server.dat", "updater.dat",
           "Program.upd", "diagnosis.dat", "set.lst", "update.script", "update.key",
           "update.manifest", "update.journal"}
MANIFEST = "update.manifest"


def crc_of(path):
    crc = 0
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(65536), b""):
            crc = zlib.crc32(block, crc)
    return crc & 0xFFFFFFFF


def changed_files(source, installed, names):
    if not names:
        names = sorted(n for n in os.listdir(source)
                       if os.path.isfile(os.path.join(source, n)) and n not in SKIPPED)
    for name in names:
        old = os.path.join(installed, name) if installed else None
        if old and os.path.isfile(old) and crc_of(old) == crc_of(os.path.join(source, name)):
            continue
        yield name


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(65536), b""):
            digest.update(block)
    return digest.hexdigest()


def sign_manifest(target, product, version, names, key_path):
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec, utils
    with open(key_path, "rb") as f:
        key = serialization.load_pem_private_key(f.read(), password=None)
    if not isinstance(key, ec.EllipticCurvePrivateKey) or key.curve.name != "secp256r1":
        raise SystemExit("make_update_set.py: %s is not an ECDSA P-256 private key" % key_path)
    lines = ["Product: " + product, "Version: " + version]
    for name in names:
        path = os.path.join(target, name)
        lines.append("File: %s, %d, %s" % (name, os.path.getsize(path), sha256_of(path)))
    body = "".join(line + "\r\n" for line in lines).encode("ascii")
    r, s = utils.decode_dss_signature(key.sign(body, ec.ECDSA(hashes.SHA256())))
    signature = base64.b64encode(r.to_bytes(32, "big") + s.to_bytes(32, "big")).decode("ascii")
    with open(os.path.join(target, MANIFEST), "wb") as f:
        f.write(body + ("Signature: %s\r\n" % signature).encode("ascii"))


def build(version, out, source, installed, names, key_path, product):
    target = os.path.join(out, version)
    shutil.rmtree(target, ignore_errors=True)
    os.makedirs(target)
    script = []
    for name in changed_files(source, installed, names):
        shutil.copyfile(os.path.join(source, name), os.path.join(target, name))
        script.append("copy %s \"%%AppDir%%\\%s\" rebootnone" % (name, name))
    with open(os.path.join(target, "version.dat"), "w") as f:
        f.write(version)
    with open(os.path.join(target, "update.script"), "w", newline="\r\n") as f:
        f.write("; Quellix %s\n" % version)
        f.write("".join(line + "\n" for line in script))
    sign_manifest(target, product, version, sorted(os.listdir(target)), key_path)
    entries = sorted(n for n in os.listdir(target) if n != "set.lst")
    with open(os.path.join(target, "set.lst"), "w") as f:
        for name in entries:
            path = os.path.join(target, name)
            f.write("%s %d %d\n" % (name, os.path.getsize(path), crc_of(path)))
    return target, entries


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--from", dest="source", required=True)
    parser.add_argument("--key", required=True, help="the ECDSA P-256 private key (PEM)")
    parser.add_argument("--product", default="QLX")
    parser.add_argument("--installed")
    parser.add_argument("files", nargs="*")
    args = parser.parse_args()
    parts = args.version.split(".")
    if not (4 <= len(parts) <= 5 and all(p.isdigit() for p in parts)):
        parser.error("the version needs 4 or 5 numbers (3 or 4 dots): " + args.version)
    target, entries = build(args.version, args.out, args.source, args.installed, args.files,
                            args.key, args.product)
    print("update set %s: %s" % (target, " ".join(entries)))


if __name__ == "__main__":
    sys.exit(main())
