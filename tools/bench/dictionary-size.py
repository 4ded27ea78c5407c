#!/usr/bin/env python3
"""Prints the largest LZMA/LZMA2 dictionary (bytes) that a 7z archive's blocks
name, as Debian's 7z lists them ("LZMA2:24" is 2^24 bytes, "LZMA2:1536k" and
"LZMA:3m" carry a unit)."""
import re
import subprocess
import sys


def dictionary_bytes(text):
    if text[-1] in "kmg":
        return int(text[:-1]) << {"k": 10, "m": 20, "g": 30}[text[-1]]
    value = int(text)
    return 1 << value if value <= 32 else value


def main():
    listing = subprocess.run(["7z", "l", "-slt", sys.argv[1]], capture_output=True, text=True,
                             check=True).stdout
    sizes = [dictionary_bytes(m) for m in re.findall(r"\bLZMA2?:(\d+[kmg]?)", listing)]
    print(max(sizes) if sizes else 0)


if __name__ == "__main__":
    main()
