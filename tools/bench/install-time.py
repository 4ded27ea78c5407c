#!/usr/bin/env python3
"""One line of figures from a kept end-to-end run: seconds from the install
click to the completion window, and whether the run matched its scenario.

    install-time.py WORK_FOLDER RUN_LOG
"""
import json
import os
import sys


def main():
    work, log = sys.argv[1], sys.argv[2]
    passed = 1 if "PASSED" in open(log, encoding="utf-8", errors="replace").read() else 0
    try:
        result = json.load(open(os.path.join(work, "result.json"), encoding="utf-8"))
    except (OSError, ValueError):
        print("install failed=1 passed=0")
        return
    # The agent records a click by its window and point: the install click is
    # the last click on the install page before the wait for the completion window.
    click = None
    for s in result.get("steps", []):
        args = s.get("args", [])
        if s.get("verb") == "click" and args[:1] == ["InstallWndUI"]:
            click = s["ms"]
        if s.get("verb") == "wait" and args[:1] == ["CompleteWndUI"]:
            break
    shown = next((w["shown_ms"] for w in result.get("windows", [])
                  if w.get("class") == "CompleteWndUI" and w.get("shown_ms", -1) >= 0), None)
    progress = next((w["shown_ms"] for w in result.get("windows", [])
                     if w.get("class") == "ProcessWndUI" and w.get("shown_ms", -1) >= 0), None)
    if click is None or shown is None:
        print("install failed=1 passed=%d" % passed)
        return
    print("install seconds=%.2f progress_window_after_s=%.2f passed=%d" % (
        (shown - click) / 1000.0, ((progress if progress is not None else click) - click) / 1000.0,
        passed))


if __name__ == "__main__":
    main()
