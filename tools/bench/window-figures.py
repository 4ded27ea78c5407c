#!/usr/bin/env python3
"""Turns window_benchmark's output (stdin) into one line of figures."""
import re
import sys

text = sys.stdin.read()
cpu = re.search(r"animation: .*?([\d.]+) % of one CPU", text)
after = re.search(r"after playing: working set ([\d.]+) MiB .*?private bytes ([\d.]+) MiB", text)
frames = re.search(r"\(([\d.]+) per second\)", text)
if not (cpu and after):
    sys.stderr.write(text)
    print("window failed=1")
else:
    print("window cpu_percent=%s working_set_mib=%s private_mib=%s fps=%s" % (
        cpu.group(1), after.group(1), after.group(2), frames.group(1) if frames else "0"))
