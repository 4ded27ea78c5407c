#!/usr/bin/env python3
"""Broken variants of the client package, each failing its unpacking in one
way while its download and checksum pass (the services compute size and CRC
from the file served).

    make-broken-packages.py STAGE_DIR CLIENT.7z OUT_DIR

STAGE_DIR is the client package's laid-out folder (pack-client.sh), CLIENT.7z
the package itself. Written to OUT_DIR:
  client-badcrc.7z       stored (Copy) files; one data byte of install.lst
                         flipped, so its CRC fails after other files were
                         unpacked (Uninstaller.exe, x.dat, version.txt)
  client-cut.7z          the package cut at half its size: no header
  client-unsupported.7z  BZip2, a method the installer's decoder lacks
  client-zipslip.7z      the package's files, then an entry "..\\outside.txt"
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

SIGNATURE = b"7z\xbc\xaf\x27\x1c"
START_HEADER = 32
# Same length as the name it replaces, so the header keeps its layout; it
# sorts after the package's files, so they come first in the archive.
PLACEHOLDER = "zzzoutside.txt"
ESCAPING_NAME = "..\\outside.txt"


def seven_zip(stage, out, *options):
    if os.path.exists(out):
        os.unlink(out)
    subprocess.run(["7z", "a", "-t7z", *options, "-bd", "-bso0", "-bsp0", os.path.abspath(out), "."],
                   cwd=stage, check=True)


def flip_byte_of(data, marker):
    at = data.find(marker)
    if at < 0 or data.find(marker, at + 1) >= 0:
        raise SystemExit(f"make-broken-packages: {marker!r} is not found exactly once")
    data = bytearray(data)
    data[at] ^= 0x20
    return bytes(data)


def rename_entry(data, old, new):
    """Replaces an entry name in an uncompressed header and fixes both CRCs."""
    if len(old) != len(new) or data[:6] != SIGNATURE:
        raise SystemExit("make-broken-packages: cannot rename in this archive")
    offset, size, _ = struct.unpack_from("<QQI", data, 12)
    start = START_HEADER + offset
    header = data[start:start + size]
    old_bytes, new_bytes = old.encode("utf-16-le"), new.encode("utf-16-le")
    if header.count(old_bytes) != 1:
        raise SystemExit(f"make-broken-packages: the name {old!r} is not in the header once")
    header = header.replace(old_bytes, new_bytes)
    tail = struct.pack("<QQI", offset, size, zlib.crc32(header))
    return (data[:8] + struct.pack("<I", zlib.crc32(tail)) + tail + data[START_HEADER:start] + header
            + data[start + size:])


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    stage, client, out = argv[1:]
    os.makedirs(out, exist_ok=True)

    target = os.path.join(out, "client-badcrc.7z")
    seven_zip(stage, target + ".tmp", "-m0=Copy", "-mf=off", "-ms=off", "-mhc=off")
    with open(target + ".tmp", "rb") as f:
        data = flip_byte_of(f.read(), b"install.lst\r\nvorn.exe")
    with open(target + ".tmp", "wb") as f:
        f.write(data)
    os.replace(target + ".tmp", target)

    target = os.path.join(out, "client-cut.7z")
    with open(client, "rb") as f:
        data = f.read()
    with open(target + ".tmp", "wb") as f:
        f.write(data[:len(data) // 2])
    os.replace(target + ".tmp", target)

    target = os.path.join(out, "client-unsupported.7z")
    seven_zip(stage, target + ".tmp", "-m0=BZip2", "-mf=off", "-ms=on")
    os.replace(target + ".tmp", target)

    target = os.path.join(out, "client-zipslip.7z")
    with tempfile.TemporaryDirectory(dir=out) as copy:
        shutil.copytree(stage, copy, dirs_exist_ok=True)
        with open(os.path.join(copy, PLACEHOLDER), "wb") as f:
            f.write(b"written outside the install folder\r\n")
        # The stage's fixed times, so that equal inputs give an equal archive.
        fixed = os.stat(os.path.join(stage, "install.lst")).st_mtime
        os.utime(os.path.join(copy, PLACEHOLDER), (fixed, fixed))
        seven_zip(copy, target + ".tmp", "-m0=LZMA2", "-ms=on", "-mf=on", "-mhc=off")
        for root, dirs, files in os.walk(copy):  # the stage has a read-only file
            for name in dirs + files:
                os.chmod(os.path.join(root, name), 0o755)
    with open(target + ".tmp", "rb") as f:
        data = rename_entry(f.read(), PLACEHOLDER, ESCAPING_NAME)
    with open(target + ".tmp", "wb") as f:
        f.write(data)
    os.replace(target + ".tmp", target)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
