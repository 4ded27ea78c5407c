#!/usr/bin/env python3
"""Writes MIB MiB of incompressible but reproducible data files into FOLDER,
and TEXT_MIB MiB of text files (default none).

   make-large-data.py FOLDER MIB [TEXT_MIB]

Each data file is SHAKE-256 output over a fixed seed and its index: the same
bytes on every machine, and nothing a compressor can shrink. The text files are
lines of words drawn by a seeded generator: reproducible too, and compressible
about as well as logs or source text.
"""
import hashlib
import os
import random
import sys

CHUNK_MIB = 8


WORDS = ("velto client data line value index record status channel package update "
         "install folder window progress check network server request answer time "
         "size block stream file path version error retry ready done").split()


def write_text(folder, total):
    index = 0
    while total > 0:
        mib = min(CHUNK_MIB, total)
        rng = random.Random(index)
        out, size, line = [], 0, 0
        while size < mib << 20:
            text = "%08d %s %d\r\n" % (line, " ".join(rng.choices(WORDS, k=8)), rng.randrange(1 << 20))
            out.append(text)
            size += len(text)
            line += 1
        with open(os.path.join(folder, "text%03d.txt" % index), "w", newline="") as f:
            f.write("".join(out)[:mib << 20])
        total -= mib
        index += 1


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit("usage: make-large-data.py FOLDER MIB [TEXT_MIB]")
    folder, total = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    index = 0
    while total > 0:
        mib = min(CHUNK_MIB, total)
        data = hashlib.shake_256(b"velto-bench-%d" % index).digest(mib << 20)
        with open(os.path.join(folder, "blob%03d.dat" % index), "wb") as f:
            f.write(data)
        total -= mib
        index += 1
    if len(sys.argv) == 4:
        write_text(folder, int(sys.argv[3]))


if __name__ == "__main__":
    main()
