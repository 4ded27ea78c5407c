#!/usr/bin/env python3
"""Prints what a demo run of the installer changed on the machine: the files
added, the registry values written, and the programs it started.

    demo-summary.py WORK_FOLDER
"""
import json
import os
import sys


def registry(path):
    values = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            # V, key, value name, type, data as hex
            parts = line.rstrip("\n").split("\t")
            if parts[0] != "V" or len(parts) < 5:
                continue
            data = bytes.fromhex(parts[4])
            if parts[3] in ("1", "2"):  # REG_SZ, REG_EXPAND_SZ
                text = data.decode("utf-16-le", "replace").rstrip("\0")
            else:
                text = parts[4]
            values[parts[1] + "\\" + parts[2]] = text
    return values


def main(work):
    result = json.load(open(os.path.join(work, "result.json"), encoding="utf-8"))
    print("Files the installation added:")
    for change in result.get("file_changes", []):
        if change.get("kind") == "added" and "\\Temp\\" not in change["path"]:
            kind = "folder" if change.get("folder") else f"{change.get('size', 0):>9} bytes"
            print(f"  {kind:>15}  {change['path']}")
    before = registry(os.path.join(work, "reg-before.txt"))
    after = registry(os.path.join(work, "reg-after.txt"))
    print("Registry values written:")
    for name, value in sorted(after.items()):
        if before.get(name) != value and ("Corlanth" in name or "Uninstall\\{" in name):
            print(f"  {name} = {value}")
    children = result.get("children", [])
    if children:
        print("Programs the installer started:")
        for child in children:
            print(f"  {child.get('name')} ({child.get('ms')} ms into the run)")


if __name__ == "__main__":
    main(sys.argv[1])
