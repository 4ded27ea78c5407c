#!/usr/bin/env python3
"""Writes MIB MiB of incompressible but reproducible data files into FOLDER.

   make-large-data.py FOLDER MIB

Each file is SHAKE-256 output over a fixed seed and its index: the same bytes on
every machine, and nothing a compressor can shrink.
"""
import hashlib
import os
import sys

CHUNK_MIB = 8


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make-large-data.py FOLDER MIB")
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


if __name__ == "__main__":
    main()
