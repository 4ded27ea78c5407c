#!/usr/bin/env python3
"""Makes the 7z archives of the installation-step tests with Debian's 7z.

Headers are stored uncompressed (-mhc=off), so that names and attributes can
be edited in place afterwards; the header CRCs are then computed anew. This
gives what 7z on Linux cannot store itself: a hidden file and entry names that
leave the output folder.
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib

OUT = sys.argv[1]
SEVEN = sys.argv[2] if len(sys.argv) > 2 else "7z"
ENV = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def seven(archive, src, *switches, items=("*",)):
    path = os.path.join(OUT, archive)
    if os.path.exists(path):
        os.remove(path)
    subprocess.run([SEVEN, "a", "-t7z", "-mhc=off", "-mtc=off", "-mta=off", *switches, path,
                    *items], cwd=src, env=ENV, check=True, stdout=subprocess.DEVNULL)
    with open(path, "rb") as f:
        return bytearray(f.read())


def fix_crcs(data):
    """Recomputes the next-header CRC and the start-header CRC."""
    offset, size = struct.unpack_from("<QQ", data, 12)
    start = 32 + offset
    struct.pack_into("<I", data, 28, zlib.crc32(bytes(data[start:start + size])))
    struct.pack_into("<I", data, 8, zlib.crc32(bytes(data[12:32])))


def replace_once(data, old, new):
    assert len(old) == len(new)
    at = data.find(old)
    assert at >= 0 and data.find(old, at + 1) < 0, old
    data[at:at + len(old)] = new


def number28(value):
    """A 7z NUMBER of four bytes (values from 2^21 up to 2^28)."""
    assert (1 << 21) <= value < (1 << 28)
    return bytes([0xE0 | (value >> 24)]) + struct.pack("<I", value)[:3]


def replace_in_header(data, old, new):
    offset, size = struct.unpack_from("<QQ", data, 12)
    start = 32 + offset
    header = data[start:start + size]
    replace_once(header, old, new)
    data[start:start + size] = header


def utf16(text):
    return text.encode("utf-16-le")


def save(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def tree_source(src):
    """Nested folders, an empty folder, an empty file, attributes, Chinese names."""
    write(os.path.join(src, "bin", "data", "x.dat"), b"x-data\n")
    os.makedirs(os.path.join(src, "empty"), exist_ok=True)
    write(os.path.join(src, "zero.txt"), b"")
    write(os.path.join(src, "ro.txt"), b"read only\n")
    os.chmod(os.path.join(src, "ro.txt"), 0o444)
    write(os.path.join(src, "hid.txt"), b"hidden\n")
    os.chmod(os.path.join(src, "hid.txt"), 0o640)  # the mode that marks it for editing
    write(os.path.join(src, "中文目录", "文件.txt"), "加速器".encode("utf-8"))
    # Enough data to need the decoder's real work; BCJ sees x86 call opcodes.
    blob = bytearray()
    for i in range(60000):
        blob += struct.pack("<BI", 0xE8, (i * 2654435761) & 0xFFFFFFFF)
    write(os.path.join(src, "bin", "blob.bin"), bytes(blob))


def make_tree():
    src = os.path.join(OUT, "src-tree")
    shutil.rmtree(src, ignore_errors=True)
    tree_source(src)
    data = seven("tree.7z", src, "-m0=lzma2", "-mf=BCJ")
    # 7z on Linux keeps the read-only attribute; hidden is added by hand.
    mode640 = struct.pack("<I", 0x8000 | (0o100640 << 16) | 0x20)
    replace_once(data, mode640, struct.pack("<I", 0x8000 | (0o100640 << 16) | 0x22))
    fix_crcs(data)
    save("tree.7z", data)
    # The same archive cut short.
    save("cut.7z", data[:len(data) // 2])
    save("cut-tail.7z", data[:-7])


def make_big():
    """One solid block far larger than its dictionary; and other coders."""
    src = os.path.join(OUT, "src-big")
    shutil.rmtree(src, ignore_errors=True)
    write(os.path.join(src, "big.txt"),
          b"".join(b"%08d vorn package line\n" % i for i in range(800000)))
    write(os.path.join(src, "small.txt"), b"after the big one\n")
    big = seven("big.7z", src, "-m0=lzma2", "-mf=BCJ", "-md=1m", "-mx=1")
    save("big.7z", big)
    # Damaged compressed data in the middle of the block; the header is intact.
    for at in range(100000, 100064):
        big[at] ^= 0x55
    save("big-damaged.7z", big)
    save("big-lzma.7z", seven("big-lzma.7z", src, "-m0=LZMA", "-md=1m", "-mx=1"))
    ppmd = seven("big-ppmd.7z", src, "-m0=PPMd", "-mx=1")
    save("big-ppmd.7z", ppmd)
    # The same block declaring 200 MiB, more than is ever unpacked whole.
    block = sum(os.path.getsize(os.path.join(src, n)) for n in ("big.txt", "small.txt"))
    replace_in_header(ppmd, number28(block), number28(200 << 20))
    fix_crcs(ppmd)
    save("big-ppmd-huge.7z", ppmd)
    shutil.rmtree(src)


def make_four():
    src = os.path.join(OUT, "src-four")
    shutil.rmtree(src, ignore_errors=True)
    for n in "abcd":
        write(os.path.join(src, n + ".txt"), n.encode() * 10)
    save("four.7z", seven("four.7z", src, "-m0=lzma2"))


def make_empty():
    # Signature, version 0.4, a start header naming no next header.
    tail = struct.pack("<QQI", 0, 0, 0)
    save("empty.7z", b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(tail)) + tail)


def make_crc():
    src = os.path.join(OUT, "src-crc")
    shutil.rmtree(src, ignore_errors=True)
    write(os.path.join(src, "good.txt"), b"good content\n")
    write(os.path.join(src, "sum.txt"), b"CRC-CHECKED CONTENT\n")
    data = seven("crc.7z", src, "-m0=Copy")
    replace_once(data, b"CRC-CHECKED", b"CRC-CHECKEX")
    save("crc.7z", data)


def make_unsupported():
    src = os.path.join(OUT, "src-bzip2")
    shutil.rmtree(src, ignore_errors=True)
    write(os.path.join(src, "b.txt"), b"bzip2 " * 100)
    save("bzip2.7z", seven("bzip2.7z", src, "-m0=BZip2"))


# Entry names that leave the output folder; each replaces a placeholder of the
# same length. good.txt comes first, so a late check would already have written it.
SLIPS = {
    "slip-parent.7z": "../evil.txt",
    "slip-back.7z": "..\\evil.txt",
    "slip-deep.7z": "a/../../evil.txt",
    "slip-drive.7z": "C:/evil.txt",
    "slip-root.7z": "/evil.txt",
    "slip-trim.7z": "sub/.. /evil.txt",
    "slip-device.7z": "NUL.txt",
    "slip-stream.7z": "good.txt:evil",
}


def make_slips():
    for archive, name in SLIPS.items():
        src = os.path.join(OUT, "src-" + archive)
        shutil.rmtree(src, ignore_errors=True)
        write(os.path.join(src, "good.txt"), b"good\n")
        placeholder = "q" * len(name)
        write(os.path.join(src, placeholder), b"evil\n")
        data = seven(archive, src, "-m0=Copy", items=("good.txt", placeholder))
        replace_once(data, utf16(placeholder), utf16(name))
        fix_crcs(data)
        save(archive, data)


os.makedirs(OUT, exist_ok=True)
make_tree()
make_four()
make_big()
make_empty()
make_crc()
make_unsupported()
make_slips()
save("garbage.7z", b"this is not an archive at all" * 10)
with open(os.path.join(OUT, "stamp"), "w") as f:
    f.write("ok\n")
