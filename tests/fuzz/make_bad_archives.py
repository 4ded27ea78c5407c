#!/usr/bin/env python3
"""Makes the malformed-archive corpus: archives of Debian's 7z, cut and
damaged, and archives written here byte by byte with absurd sizes and counts
and names that try to leave the output folder.

The name of each archive announces the outcome: "fail-" must fail, "ok-"
must unpack, "any-" may do either; none may write outside the output folder.
    make_bad_archives.py OUT_DIR [7z]
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

OUT = sys.argv[1]
SEVEN = sys.argv[2] if len(sys.argv) > 2 else "7z"
ENV = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")


def save(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(bytes(data))


def pseudo_text(seed, size):
    """Deterministic bytes that compress, but not to nothing."""
    words = [b"alpha", b"beta", b"gamma", b"delta", b"velto", b"client", b"\x00\x01", b"\xe8\x10"]
    out = bytearray()
    x = seed
    while len(out) < size:
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out += words[x % len(words)] + bytes([(x >> 8) & 0xFF])
    return bytes(out[:size])


def seven(name, src, *switches):
    path = os.path.join(OUT, name)
    if os.path.exists(path):
        os.remove(path)
    subprocess.run([SEVEN, "a", "-t7z", "-mtc=off", "-mta=off", *switches, path, "*"],
                   cwd=src, env=ENV, check=True, stdout=subprocess.DEVNULL)
    with open(path, "rb") as f:
        return bytearray(f.read())


# --- archives written here ------------------------------------------------

def num(v):
    """A 7z NUMBER: leading one bits in the first byte give the extra bytes."""
    for n in range(9):
        if n == 8 or v < (1 << (8 * n + 7 - n)):
            break
    if n == 8:
        return b"\xff" + v.to_bytes(8, "little")
    first = ((0xFF << (8 - n)) & 0xFF) | (v >> (8 * n))
    return bytes([first]) + (v & ((1 << (8 * n)) - 1)).to_bytes(n, "little")


COPY = b"\x01\x00"


def lzma_coder(dictionary):
    return b"\x23\x03\x01\x01" + num(5) + bytes([0x5D]) + struct.pack("<I", dictionary)


def delta_coder():
    return b"\x21\x03" + num(1) + b"\x00"


def handmade(entries, pack_size=None, unpack_size=None, num_files=None, coder=COPY,
             num_folders=1, num_pack_streams=1, substreams=None, names_size=None,
             data=None):
    """One folder of one coder holding every entry; overrides make it absurd."""
    body = b"".join(d for _, d in entries) if data is None else data
    pack = len(body) if pack_size is None else pack_size
    unpack = sum(len(d) for _, d in entries) if unpack_size is None else unpack_size
    h = bytearray(b"\x01\x04")
    h += b"\x06" + num(0) + num(num_pack_streams) + b"\x09" + num(pack) + b"\x00"
    h += b"\x07\x0b" + num(num_folders) + b"\x00" + num(1) + coder
    h += b"\x0c" + num(unpack) + b"\x00"
    h += b"\x08\x0d" + num(len(entries) if substreams is None else substreams)
    if len(entries) > 1:
        h += b"\x09" + b"".join(num(len(d)) for _, d in entries[:-1])
    h += b"\x0a\x01" + b"".join(struct.pack("<I", zlib.crc32(d)) for _, d in entries)
    h += b"\x00\x00"
    names = b"".join(n.encode("utf-16-le") + b"\x00\x00" for n, _ in entries)
    h += b"\x05" + num(len(entries) if num_files is None else num_files)
    h += b"\x11" + num(len(names) + 1 if names_size is None else names_size) + b"\x00" + names
    h += b"\x00\x00"
    start = struct.pack("<QQI", len(body), len(h), zlib.crc32(bytes(h)))
    return (b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(start)) + start
            + body + bytes(h))


def fix_crcs(data):
    offset, size = struct.unpack_from("<QQ", data, 12)
    start = 32 + offset
    struct.pack_into("<I", data, 28, zlib.crc32(bytes(data[start:start + size])))
    struct.pack_into("<I", data, 8, zlib.crc32(bytes(data[12:32])))


def make_handmade():
    good = [("a.txt", b"hello"), ("dir/b.txt", b"world, again")]
    save("ok-handmade.7z", handmade(good))
    bad_names = {
        "dotdot": "../x.txt",
        "dotdot-deep": "a/../../../../x.txt",
        "dotdot-back": "a\\..\\..\\x.txt",
        "dotdot-alone": "..",
        "dot": ".",
        "absolute": "/tmp/vorn-escape.txt",
        "rooted": "\\x.txt",
        "unc": "\\\\server\\share\\x.txt",
        "drive": "C:\\x.txt",
        "drive-relative": "C:x.txt",
        "drive-slash": "c:/x.txt",
        "stream": "x.txt:hidden",
        "device-con": "CON",
        "device-nul-ext": "nul.txt",
        "device-aux-folder": "aux/x.txt",
        "device-com": "COM1.log",
        "device-lpt": "lpt9",
        "device-conin": "CONIN$",
        "trailing-dot": "dir./x.txt",
        "trailing-blank": "dir /x.txt",
        "empty": "",
        "empty-component": "a//x.txt",
        "control": "a\x01b.txt",
        "wildcard": "a*.txt",
    }
    for tag, name in bad_names.items():
        save("fail-name-%s.7z" % tag, handmade([good[0], (name, b"escape")]))
    # A name longer than any system takes: refused when the file is created.
    save("fail-long-component.7z", handmade([good[0], ("n" * 1000, b"long")]))
    # A long path of short folders: allowed, if the system takes it.
    save("any-long-path.7z", handmade([("/".join(["d"] * 1500) + "/x.txt", b"deep")]))

    big = 1 << 62
    save("fail-size-unpack-huge.7z", handmade(good, unpack_size=big))
    save("fail-size-unpack-4g.7z", handmade(good, unpack_size=(1 << 32) + 5))
    save("fail-size-pack-huge.7z", handmade(good, pack_size=big))
    save("fail-size-pack-short.7z", handmade(good, pack_size=3))
    save("fail-size-names-huge.7z", handmade(good, names_size=1 << 40))
    save("fail-count-files-huge.7z", handmade(good, num_files=1 << 31))
    save("fail-count-files-2e62.7z", handmade(good, num_files=big))
    save("fail-count-folders-huge.7z", handmade(good, num_folders=1 << 40))
    save("fail-count-packstreams-huge.7z", handmade(good, num_pack_streams=1 << 40))
    save("fail-count-substreams-huge.7z", handmade(good, substreams=1 << 31))
    save("fail-count-substreams-zero.7z", handmade(good, substreams=0))
    junk = pseudo_text(7, 64)
    save("fail-lzma-dictionary-4g.7z",
         handmade([("x.bin", b"x" * 64)], coder=lzma_coder(0xFFFFFFFF), data=junk))
    # A shape only the whole-block path handles, declaring a block of 1 TiB
    # and of 4 GiB + 5 (which a 32-bit size would take for 5 bytes).
    save("fail-whole-block-1t.7z", handmade([("x.bin", b"abc")], coder=delta_coder(),
                                            unpack_size=1 << 40))
    save("fail-whole-block-4g.7z", handmade([("x.bin", b"abc")], coder=delta_coder(),
                                            unpack_size=(1 << 32) + 5))
    data = bytearray(handmade(good))
    data[32] ^= 0xFF  # first byte of the stored data
    save("fail-crc-data-handmade.7z", data)


# --- archives of 7z, damaged ----------------------------------------------

def make_seven():
    src = tempfile.mkdtemp(prefix="vorn-bad-src-")
    try:
        os.makedirs(os.path.join(src, "bin"))
        for i in range(3):
            with open(os.path.join(src, "bin", "part%d.dat" % i), "wb") as f:
                f.write(pseudo_text(i + 1, 6000 + 3000 * i))
        with open(os.path.join(src, "readme.txt"), "wb") as f:
            f.write(b"readme\n" * 50)
        shapes = {
            "lzma": ("-mhc=off", "-m0=LZMA"),
            "lzma2-bcj": ("-mhc=off", "-m0=BCJ", "-m1=LZMA2"),
            "copy": ("-mhc=off", "-m0=Copy"),
            "ppmd": ("-mhc=off", "-m0=PPMd"),
            "lzma-packed-header": ("-m0=LZMA",),
        }
        made = {}
        for tag, switches in shapes.items():
            made[tag] = seven("ok-%s.7z" % tag, src, *switches)
        for tag in ("lzma", "lzma2-bcj", "copy", "lzma-packed-header"):
            data = made[tag]
            for cut in range(1024, len(data), 1024):
                save("fail-cut-%s-%05d.7z" % (tag, cut), data[:cut])
            save("fail-cut-%s-last-byte.7z" % tag, data[:-1])
            save("fail-cut-%s-signature.7z" % tag, data[:32])

        copy = made["copy"]
        data = bytearray(copy)
        data[32 + 100] ^= 0x01
        save("fail-crc-data-copy.7z", data)
        data = bytearray(made["lzma"])
        data[32 + 2000] ^= 0x55
        save("fail-crc-data-lzma.7z", data)
        # The end header changed, its CRC not.
        offset, size = struct.unpack_from("<QQ", copy, 12)
        data = bytearray(copy)
        data[32 + offset + size // 2] ^= 0x01
        save("fail-crc-header.7z", data)
        data = bytearray(copy)
        data[8] ^= 0x01
        save("fail-crc-start-header.7z", data)
        # The start header pointing far away, with correct CRCs.
        for tag, (off, sz) in {"fail-start-offset-huge": (1 << 62, size),
                               "fail-start-size-huge": (offset, 1 << 62),
                               # No header at all is an empty archive to 7-Zip too.
                               "any-start-size-zero": (offset, 0)}.items():
            data = bytearray(copy)
            struct.pack_into("<QQ", data, 12, off, sz)
            struct.pack_into("<I", data, 8, zlib.crc32(bytes(data[12:32])))
            save(tag + ".7z", data)
        seven("fail-encrypted-headers.7z", src, "-pSecret1", "-mhe=on", "-m0=LZMA")
        seven("fail-encrypted-data.7z", src, "-pSecret1", "-mhc=off", "-m0=LZMA")
        seven("fail-method-deflate.7z", src, "-mhc=off", "-m0=Deflate")
        seven("fail-method-bzip2.7z", src, "-mhc=off", "-m0=BZip2")
    finally:
        shutil.rmtree(src)


def main():
    if os.path.isdir(OUT):
        shutil.rmtree(OUT)
    os.makedirs(OUT)
    make_handmade()
    make_seven()
    open(os.path.join(OUT, "stamp"), "w").close()


main()
