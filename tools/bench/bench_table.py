#!/usr/bin/env python3
"""Prints the benchmark table (Markdown) from the raw figures that
run-benchmarks.sh collected: minimum and median of each figure over the runs,
the ratio against the native reference (of the medians) and the target.

    bench_table.py FIGURES.txt RUNS ARCH
"""
import datetime
import os
import re
import statistics
import subprocess
import sys

MIB = 1048576.0


def read(path):
    rows = []
    for line in open(path, encoding="utf-8", errors="replace"):
        parts = line.split()
        if not parts or not all("=" in p for p in parts[1:]):
            continue
        row = {"kind": parts[0]}
        for p in parts[1:]:
            k, v = p.split("=", 1)
            try:
                row[k] = float(v) if k != "crc" else v
            except ValueError:
                row[k] = v
        rows.append(row)
    return rows


def pick(rows, kind, **match):
    return [r for r in rows if r["kind"] == kind and all(r.get(k) == v for k, v in match.items())]


def values(rows, fn):
    out = []
    for r in rows:
        try:
            out.append(fn(r))
        except (KeyError, ZeroDivisionError, TypeError):
            pass
    return out


def median(v):
    return statistics.median(v) if v else None


def fmt(x, digits=1):
    return "–" if x is None else f"{x:,.{digits}f}"


def machine():
    model, cores = "?", os.cpu_count()
    try:
        for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
            if line.startswith("Model name:"):
                model = line.split(":", 1)[1].strip()
    except OSError:
        pass
    ram = 0
    for line in open("/proc/meminfo"):
        if line.startswith("MemTotal:"):
            ram = int(line.split()[1]) / 1048576.0
    try:
        wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    except OSError:
        wine = "wine ?"
    return f"{model}, {cores} cores, {ram:.1f} GiB RAM; Debian {open('/etc/debian_version').read().strip()}, {wine}"


class Table:
    def __init__(self):
        self.lines = ["| figure | ours min | ours median | reference min | reference median | ratio | target | met |",
                      "|---|---:|---:|---:|---:|---:|---|---|"]
        self.missed = []

    def row(self, name, ours, ref=None, ratio=None, target="", met=None, digits=1):
        cells = [name, fmt(min(ours) if ours else None, digits), fmt(median(ours), digits),
                 fmt(min(ref) if ref else None, digits), fmt(median(ref), digits),
                 "–" if ratio is None else f"{ratio:.2f}×", target,
                 "" if met is None else ("yes" if met else "**no**")]
        if met is False:
            self.missed.append(name)
        self.lines.append("| " + " | ".join(cells) + " |")


def main():
    rows = read(sys.argv[1])
    runs, arch = sys.argv[2], sys.argv[3]
    t = Table()

    # Download: the wrapper in the progress window against curl -o, from
    # vorn-services and (server=onecall) from a server writing the body in one call.
    for server, size, label in ((None, 256.0, "vorn-services"), ("onecall", 256.0, "a one-call server"),
                                (None, 16.0, "vorn-services")):
        ours_rows = pick(rows, "download", size=size, server=server)
        ours = values(ours_rows, lambda r: r["bytes"] / MIB / r["seconds"])
        curl = values(pick(rows, "curl", size=size, server=server), lambda r: r["bytes"] / MIB / r["seconds"])
        if not ours_rows:
            continue
        expected = {r["crc"] for r in pick(rows, "file", size=size, server=server)}
        intact = all(r.get("result") == 0 and r.get("crc") in expected and r.get("bytes") == size * MIB
                     for r in ours_rows)
        ratio = median(ours) / median(curl) if ours and curl and median(curl) > 0 else None
        name = f"download {size:.0f} MiB over HTTPS from {label}, MiB/s (vs curl -o)"
        if size == 256:
            t.row(name + ("" if intact else " – FILE DIFFERS"),
                  ours, curl, ratio, "≥ 0.9×", ratio is not None and ratio >= 0.9 and intact)
        else:
            t.row(name, ours, curl, ratio)
        plain = pick(rows, "plain", size=size, server=server)
        if plain:
            alone = values(plain, lambda r: size / r["seconds"])
            t.row("  the wrapper alone (no window, no debug output), MiB/s (vs curl -o)", alone, curl,
                  median(alone) / median(curl) if alone and curl and median(curl) > 0 else None)
    big = pick(rows, "download", size=256.0, server=None)
    if big:
        t.row("  progress reports from the library per 256 MiB download", values(big, lambda r: r["reports"]), digits=0)
        t.row("  progress tasks the window ran per download", values(big, lambda r: r["posts"]),
              target="≤ 101 + status", digits=0)
        t.row("  repaints of the progress window per download", values(big, lambda r: r["paints"]), digits=0)
        replies = values(big, lambda r: r["reply_median_ms"])
        worst = values(big, lambda r: r["reply_max_ms"])
        unanswered = sum(values(big, lambda r: r["unanswered"]))
        t.row("  window's answer to a sent message during the download, median ms", replies, digits=2)
        t.row("  the same, slowest answer of each download, ms", worst,
              target="≤ 100 ms, none unanswered", met=bool(worst) and max(worst) <= 100 and unanswered == 0,
              digits=1)
    small = values(pick(rows, "download", size=16.0, server=None), lambda r: r["peak_private_mib"])
    large = values(big, lambda r: r["peak_private_mib"])
    if small and large:
        diff = median(large) - median(small)
        t.row("peak private memory downloading 256 MiB, MiB (reference: 16 MiB)", large, small, None,
              f"within 4 MiB (Δ {diff:+.1f})", abs(diff) <= 4)

    crc = pick(rows, "crc")
    if crc:
        ours = values(crc, lambda r: r["bytes"] / MIB / r["filecrc32_s"])
        ref = values(crc, lambda r: r["bytes"] / MIB / r["zlib_s"])
        ratio = median(ours) / median(ref)
        intact = all(r.get("match") == 1 for r in crc)
        t.row("FileCrc32 over 256 MiB, MiB/s (vs zlib crc32)" + ("" if intact else " – CRC DIFFERS"),
              ours, ref, ratio, "≥ 1.0× (±0.5 % noise)", ratio >= 0.995 and intact)

    unpacked = pick(rows, "unpacked", package="large")
    ext = pick(rows, "extract", package="large")
    native = pick(rows, "native7z")
    if ext and native and unpacked:
        size = unpacked[0]["bytes"] / MIB
        ours = values(ext, lambda r: size / r["seconds"])
        ref = values(native, lambda r: size / r["seconds"])
        ratio = median(ours) / median(ref)
        t.row(f"unpack the large package ({size:.0f} MiB), MiB/s (vs 7z x)", ours, ref, ratio, "≥ 0.8×",
              ratio >= 0.8 and all(r.get("result") == 0 for r in ext))
        t.row("  memory while unpacking, MiB: our peak private growth (7z: max RSS)",
              values(ext, lambda r: r["peak_private_mib"] - r["baseline_private_mib"]),
              values(native, lambda r: r["maxrss_kib"] / 1024.0))
    giant = pick(rows, "extract", package="1g")
    dictionary = pick(rows, "dictionary", package="1g")
    if giant and dictionary:
        limit = dictionary[0]["bytes"] / MIB + 32
        growth = values(giant, lambda r: r["peak_private_mib"] - r["baseline_private_mib"])
        t.row(f"unpack a 1 GiB package ({arch}): peak private growth, MiB", growth, target=f"≤ dictionary + 32 = {limit:.1f}",
              met=max(growth) <= limit and all(r.get("result") == 0 for r in giant))
        t.row("  the same, whole process's peak private memory, MiB", values(giant, lambda r: r["peak_private_mib"]))
        t.row("  the decoder's own peak allocation, MiB", values(giant, lambda r: r["decoder_peak_mib"]), digits=2)
        size1g = values(giant, lambda r: 1024.0 / r["seconds"])
        t.row("  its throughput, MiB/s", size1g)

    inst = pick(rows, "install")
    if inst:
        ok = [r for r in inst if "seconds" in r]
        ours = values(ok, lambda r: r["seconds"])
        ref = values(pick(rows, "fetchunpack"), lambda r: r["seconds"])
        ratio = median(ours) / median(ref) if ours and ref else None
        passed = sum(1 for r in inst if r.get("passed") == 1)
        t.row("fresh installation of the mixed package, install click to completion window, s "
              "(vs curl + 7z x)", ours, ref, ratio,
              f"≤ 2.0×, {passed}/{len(inst)} runs as expected",
              ratio is not None and ratio <= 2.0 and len(ok) == len(inst) and passed == len(inst))

    sizes = pick(rows, "size")
    if sizes:
        s = sizes[-1]
        t.row("VeltoInstaller.exe, MiB", [s["installer_bytes"] / MIB], target="≤ 3 MiB",
              met=s["installer_bytes"] <= 3 * MIB, digits=2)
        t.row("skin archive, MiB", [s["skin_bytes"] / MIB], target="≤ 1.5 MiB",
              met=s["skin_bytes"] <= 1.5 * MIB, digits=2)

    win = [r for r in pick(rows, "window") if "cpu_percent" in r]
    if win:
        t.row("check window animation, % of one CPU", values(win, lambda r: r["cpu_percent"]))
        t.row("  its private memory, MiB", values(win, lambda r: r["private_mib"]))
        t.row("  frames shown per second", values(win, lambda r: r["fps"]))

    print()
    print(f"Machine: {machine()}")
    print(f"Date: {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC; "
          f"Windows programs: {arch}; runs per figure: {runs}")
    print()
    print("\n".join(t.lines))
    print()
    print("Targets missed: " + (", ".join(t.missed) if t.missed else "none"))


if __name__ == "__main__":
    main()
