#!/usr/bin/python3
"""Builds an update set for the reference update server.

    make_update_set.py --version V --out ROOT --from DIR [--installed DIR] [FILE...]

Takes the FILEs of DIR (by default every file directly in DIR) that differ
from the copy in the installed folder (all of them without --installed),
and writes ROOT/V/: those files, a "version.dat" holding V, an
"update.script" that copies each changed file into %AppDir%, and "set.lst"
with the name, size and CRC-32 of every file of the set.
"""
import argparse
import os
import shutil
import sys
import zlib

# Never part of a set: the updater cannot replace itself while it runs, and
# these are written by the program or by the updater itself.
SKIPPED = {"update.exe", "update.log", "version.dat", "server.dat", "updater.dat",
           "Program.upd", "diagnosis.dat", "set.lst", "update.script"}


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


def build(version, out, source, installed, names):
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
    parser.add_argument("--installed")
    parser.add_argument("files", nargs="*")
    args = parser.parse_args()
    parts = args.version.split(".")
    if not (4 <= len(parts) <= 5 and all(p.isdigit() for p in parts)):
        parser.error("the version needs 4 or 5 numbers (3 or 4 dots): " + args.version)
    target, entries = build(args.version, args.out, args.source, args.installed, args.files)
    print("update set %s: %s" % (target, " ".join(entries)))


if __name__ == "__main__":
    sys.exit(main())
