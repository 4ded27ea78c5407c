#!/usr/bin/env python3
"""Where the bytes of an executable go, from GNU ld's map file (-Wl,-Map).

    size-map.py MAP [EXE]

Prints one row per library and one column per output section (bytes of the
input sections each library put there), then the file's own section sizes when
the executable is given. With --figures it prints one line per library for
the benchmark's figures file instead.

Code that link-time optimisation compiled (ours, JsonCpp, pugixml, the
templates of cpp-httplib and the standard library they instantiate) comes from
the linker's temporary objects; with a section per function, the mangled name
of each tells the library. What has no name of its own there (unwind tables,
constants) is shown as "LTO unit, unnamed".
"""
import os
import re
import struct
import sys

# Output sections shown as columns; the rest is summed under "other".
COLUMNS = [".text", ".rdata", ".eh_frame", ".data", ".rsrc", ".reloc"]

# Library of an input file, by the archive's or object's name.
GROUPS = [
    (r"libcrypto\.a", "OpenSSL libcrypto"),
    (r"libssl\.a", "OpenSSL libssl"),
    (r"libstdc\+\+\.a|libsupc\+\+\.a", "C++ runtime (libstdc++)"),
    (r"libgcc(_eh)?\.a|crtbegin\.o|crtend\.o", "libgcc"),
    (r"libpthread\.a|libwinpthread\.a", "winpthread"),
    (r"libmingw32\.a|libmingwex\.a|libmsvcrt[^/]*\.a|libmoldname\.a|crt2\.o", "mingw C runtime"),
    (r"libjsoncpp\.a", "JsonCpp"),
    (r"libcjson\.a", "cJSON"),
    (r"libpugixml\.a", "pugixml"),
    (r"liblzma7z\.a", "7z decoder"),
    (r"libminizip\.a", "minizip"),
    (r"/libz\.a", "zlib"),
    (r"libvorn_installer_core\.a|VeltoInstaller\.dir/main", "ours: installer/"),
    (r"libvorn_comm\.a", "ours: comm/"),
    (r"libvorn_ui\.a", "ours: ui/"),
    (r"libvorn_util\.a", "ours: util/"),
    (r"\.res$", "resources"),
    (r"^dll stuff$|^linker stubs$", "linker"),
    (r"/lib/lib[^/]*\.a\(", "Windows import tables"),
]

# First name in a mangled C++ symbol, for the code of the LTO unit.
LTO_NAMESPACES = {"Json": "JsonCpp", "pugi": "pugixml", "httplib": "cpp-httplib",
                  "St": "C++ templates (std::)", "Sa": "C++ templates (std::)"}

INPUT = re.compile(r"^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")
OUTPUT = re.compile(r"^(\.[\w$.]+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)")


def lto_group(section):
    """Library of a function or datum that the LTO unit put in its own section."""
    name = section.split("$", 1)[1] if "$" in section else ""
    if not name:
        return "LTO unit, unnamed"
    m = re.match(r"_Z(?:T[VIST]|Z|G[VR])?N?K?(?:L)?(St|Sa|\d+)", name)
    if not m:
        return "ours (LTO)"  # C names: WinMain, callbacks
    first = m.group(1)
    if first.isdigit():
        start = m.end()
        first = name[start:start + int(first)]
    return LTO_NAMESPACES.get(first, "ours (LTO)")


def group(path, section):
    if ".ltrans" in path:
        return lto_group(section)
    for pattern, name in GROUPS:
        if re.search(pattern, path):
            return name
    return "other"


def read_map(path):
    """{library: {output section: bytes}} from the map's memory map part."""
    table = {}
    section = None
    pending = None  # an input section name too long to share its line
    name = None
    in_map = False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if not in_map:
                in_map = line.startswith("Linker script and memory map")
                continue
            m = OUTPUT.match(line)
            if m:
                section = m.group(1)
                pending = None
                continue
            if section is None:
                continue
            if re.match(r"^ \S+$", line):
                pending = line.strip()
                continue
            m = INPUT.match(line)
            if m and (m.group(1) or pending) and section != ".bss":
                size = int(m.group(3), 16)
                where = m.group(4).strip()
                if size and not where.startswith("0x"):
                    lib = group(where, m.group(1) or pending)
                    row = table.setdefault(lib, {})
                    row[section] = row.get(section, 0) + size
            pending = None
    return table


def pe_sections(path):
    """[(name, raw size in the file)] and the file's size."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    first = pe + 24 + optional
    out = []
    for i in range(count):
        name, _vsize, _vaddr, raw = struct.unpack_from("<8sIII", data, first + 40 * i)
        out.append((name.rstrip(b"\0").decode(), raw))
    return out, len(data)


def column(section):
    return section if section in COLUMNS else "other"


def kib(n):
    return f"{n / 1024:,.0f}" if n else "-"


def main(argv):
    figures = "--figures" in argv
    args = [a for a in argv[1:] if a != "--figures"]
    if not args:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    table = read_map(args[0])
    if figures:
        for lib, row in sorted(table.items()):
            parts = " ".join(f"{column(s)[1:] if s in COLUMNS else 'other'}={n}" for s, n in sorted(row.items()))
            total = sum(row.values())
            print(f"sizelib lib={lib.replace(' ', '_')} total={total} {parts}")
        return 0

    cols = COLUMNS + ["other"]
    rows = []
    for lib, row in table.items():
        cells = {c: 0 for c in cols}
        for s, n in row.items():
            cells[column(s)] += n
        rows.append((sum(cells.values()), lib, cells))
    rows.sort(reverse=True)
    width = max(len(r[1]) for r in rows) + 2
    print("KiB".ljust(width) + "".join(c.rjust(10) for c in cols) + "total".rjust(10))
    sums = {c: 0 for c in cols}
    for total, lib, cells in rows:
        for c in cols:
            sums[c] += cells[c]
        print(lib.ljust(width) + "".join(kib(cells[c]).rjust(10) for c in cols) + kib(total).rjust(10))
    print("all".ljust(width) + "".join(kib(sums[c]).rjust(10) for c in cols)
          + kib(sum(sums.values())).rjust(10))
    if len(args) > 1 and os.path.exists(args[1]):
        sections, size = pe_sections(args[1])
        print(f"{os.path.basename(args[1])}: {size:,} bytes ({size / 1048576:.2f} MiB); in the file: "
              + ", ".join(f"{n} {kib(r)}" for n, r in sections if r))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
