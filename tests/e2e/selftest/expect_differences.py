#!/usr/bin/env python3
"""Runs the scenario with wrong expectations and checks that the harness
fails it and names each difference.
    expect_differences.py CONFIG.json"""
import json
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXPECTED = [
    "FAILED wrong_expectations: 10 difference(s)",
    "main: expected exit code 7, got 0 (exited)",
    ", expected 874 (locale inherited)",
    "      - InstallWndUI",
    "      + VXMessageBoxUI",
    "CheckWndUI: open for ",
    "2 reports received, 3 expected; bodies in order",
    '"event_msg":"Install Cancel"}',
    "      + https://",
    "      - {'path': 'C:\\\\Games\\\\Velto\\\\vorn.exe'",
    "missing line: '[Error]| no such line'",
    "expected HKCU\\Software\\Corlanth\\Vorn\\installDir = 'D:\\\\Vorn\\\\', but the run did not set it",
    "expected C:\\nothing.txt to be written, but the run left it as it was",
]


def main():
    run = subprocess.run([sys.executable, os.path.join(HERE, "..", "run_scenario.py"), sys.argv[1],
                          os.path.join(HERE, "wrong_expectations.toml")],
                         capture_output=True, text=True)
    print(run.stdout)
    with open(sys.argv[1], encoding="utf-8") as f:
        work = os.path.join(json.load(f)["build_dir"], "e2e", "wrong_expectations")
    shutil.rmtree(work, ignore_errors=True)  # kept by the failure, of no further use
    missing = [e for e in EXPECTED if e not in run.stdout]
    if run.returncode != 1 or missing:
        print(f"harness self-test: exit code {run.returncode} (1 expected); not reported: {missing}")
        return 1
    print("harness self-test: every wrong expectation was reported")
    return 0


if __name__ == "__main__":
    sys.exit(main())
