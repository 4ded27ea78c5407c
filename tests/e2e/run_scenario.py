#!/usr/bin/env python3
"""Runs one end-to-end scenario and compares the machine's state afterwards
with what the scenario expects.

    run_scenario.py CONFIG.json SCENARIO.toml [--keep] [--by-hand]

CONFIG.json is e2e-config.json of a Windows build tree (build/win32 or
build/win64); the scenario runs on that tree's architecture. The run gets its
own network and mount namespace, vorn-services, Xvfb display and fresh Wine
prefix; its work folder is <build>/e2e/<scenario>/ and its screenshots go to
<build>/screenshots/e2e/<scenario>/. Exit codes: 0 as expected, 1 differences
(printed), 2 the scenario or the set-up is broken.

--by-hand leaves the scenario's steps to a person at the display named by
DISPLAY (the run waits up to an hour for the installer to end); the
differences from the scripted road are then shown, not judged.
"""
import json
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from runner import inside, services  # noqa: E402
from runner.compare import compare, observed_windows  # noqa: E402
from runner.config import Config, windows_path  # noqa: E402
from runner.layouts import LayoutError  # noqa: E402
from runner.plan import build_plan  # noqa: E402
from runner.results import Run  # noqa: E402
from runner.scenario import Scenario, ScenarioError  # noqa: E402

# The agent's own limit leaves time for the snapshots and the comparison.
MARGIN_S = 20
# A person at the display takes their time.
BY_HAND_S = 3600


def prepare(cfg, sc, work, by_hand):
    if os.path.exists(work):
        shutil.rmtree(work)
    os.makedirs(work)
    plan = build_plan(cfg, sc, work, exit_ms=BY_HAND_S * 1000 if by_hand else None)
    with open(os.path.join(work, "plan.txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write(plan.text())
    options = services.prepare(cfg, sc, os.path.join(work, "services"))
    if sc.ansi_codepage is not None:
        options += ["--ansi-codepage", str(sc.ansi_codepage)]
    testenv = cfg.testenv
    wine = [os.path.join(testenv, "wine-run.sh"), "--root", cfg.wine_root,
            cfg.agent, windows_path(os.path.join(work, "plan.txt"))]
    if sc.locale:
        # The Wine processes run under that Unix locale (wine-env.sh).
        wine = ["env", f"VORN_WINE_LOCALE={sc.locale}", *wine]
    command = [os.path.join(testenv, "services-run.sh"), os.path.join(work, "services"),
               "--hosts", cfg.all_hosts, *options, "--"]
    if "proxy" in sc.services:
        proxy, _, _ = services.proxy_options(cfg, sc, os.path.join(work, "proxy"))
        command += [os.path.join(testenv, "proxy-run.sh"), *proxy, "--"]
    command += wine
    stage = {"drives": sc.machine.get("drives", {}), "command": command,
             "quarantine": sc.machine.get("quarantine")}
    with open(os.path.join(work, "stage.json"), "w", encoding="utf-8") as f:
        json.dump(stage, f, ensure_ascii=False, indent=1)
    return plan


def run(cfg, sc, work, by_hand):
    netns = [os.path.join(cfg.testenv, "netns-run.sh")]
    if sc.services.get("ethernet"):
        netns += ["--ethernet", sc.services["ethernet"]]
    if "proxy" in sc.services:
        # The vendor's names lead nowhere but through the proxy.
        _, direct, proxied = services.proxy_options(cfg, sc, os.path.join(work, "proxy"))
        netns += ["--hosts", " ".join(direct), "--unreachable", " ".join(proxied)]
    else:
        netns += ["--hosts", cfg.all_hosts]
    netns += ["--", sys.executable, os.path.abspath(__file__), "--inside", work]
    env = dict(os.environ)
    if not by_hand:
        env.pop("DISPLAY", None)  # a private Xvfb for each run
    env.update({"WINEDEBUG": "-all", "VORN_WINE_DISPLAY": "1", "VORN_WINE_FRESH": "1",
                "VORN_WINE_TIMEOUT": str(sc.timeout), "VORN_SERVICES": cfg.services,
                "VORN_SERVICES_LOG": os.path.join(work, "services.log"),
                # A plan that ends its Wine session goes on in the next one.
                "VORN_WINE_AGAIN": os.path.join(work, "again")})
    if sc.dpi != 96:
        # Room for the scaled windows beside one another (the shots are of the windows).
        env.update({"VORN_WINE_DPI": str(sc.dpi), "VORN_XVFB_SCREEN": "2560x1600x24"})
    try:
        return subprocess.run(netns, env=env, timeout=sc.timeout + MARGIN_S).returncode
    except subprocess.TimeoutExpired:
        print(f"e2e: the run did not end within {sc.timeout + MARGIN_S} s", flush=True)
        return 124


def keep_screenshots(cfg, sc, work):
    target = os.path.join(cfg.screenshots, sc.name)
    if os.path.exists(target):
        shutil.rmtree(target)
    source = os.path.join(work, "shots")
    if os.path.isdir(source):
        shutil.copytree(source, target)
    return target


def summary(sc, result, seconds, shots):
    lines = [f"scenario {sc.name}: {sc.about}", f"  ran in {seconds:.1f} s"]
    if result.result is not None:
        for label, _, w in observed_windows(result):
            closed = [t for t in (w["hidden_ms"], w["gone_ms"]) if t >= 0]
            span = f"{w['shown_ms']}-{min(closed)} ms" if closed else f"from {w['shown_ms']} ms"
            lines.append(f"  window {label} at {w['settled_rect'][:2]}, {span}, capture {w['shot']}")
        for inst in result.result.get("instances", []):
            lines.append(f"  {inst['name']}: {inst['how']}, exit code {inst['exit_code']}")
        for label, tree in result.result.get("trees", {}).items():
            lines.append(f"  accessibility tree {label} of {tree['window']}:")
            lines += [f"    {line} at {rect}" for line, rect in zip(tree["lines"], tree["rects"])]
    for r in result.reports:
        msg = (r.get("body_json") or {}).get("event_msg", "?")
        lines.append(f"  report {msg!r} (signature {'valid' if r.get('sign_valid') else 'INVALID'})")
    lines.append(f"  screenshots in {shots}")
    return "\n".join(lines)


def execute(cfg, sc, by_hand=False):
    """Runs the scenario and compares: (work folder, the run, its differences).
    Raises ScenarioError (or LayoutError, KeyError) for a broken scenario."""
    work = os.path.join(cfg.work_root, sc.name)
    plan = prepare(cfg, sc, work, by_hand)
    started = time.monotonic()
    rc = run(cfg, sc, work, by_hand)
    seconds = time.monotonic() - started
    result = Run(work, rc)
    shots = keep_screenshots(cfg, sc, work)
    for image in [p for p in os.listdir(os.path.join(work, "vol"))] if os.path.isdir(
            os.path.join(work, "vol")) else []:
        if image.endswith(".img"):
            os.unlink(os.path.join(work, "vol", image))
    print(summary(sc, result, seconds, shots), flush=True)
    return work, result, compare(cfg, sc, result, plan)


def main(argv):
    if len(argv) == 3 and argv[1] == "--inside":
        return inside.run_inside(argv[2])
    keep = "--keep" in argv
    by_hand = "--by-hand" in argv
    args = [a for a in argv[1:] if a not in ("--keep", "--by-hand")]
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    cfg = Config(args[0])
    try:
        sc = Scenario(args[1])
        if by_hand:
            if not os.environ.get("DISPLAY"):
                raise ScenarioError("--by-hand needs a display (DISPLAY)")
            sc.steps = []
            sc.timeout = BY_HAND_S
        work, result, diffs = execute(cfg, sc, by_hand)
    except (ScenarioError, LayoutError, KeyError) as e:
        print(f"e2e: the scenario is broken: {e}", file=sys.stderr)
        return 2
    if by_hand:
        print(f"\nBy hand: {len(diffs.items)} difference(s) from the scripted road of {sc.name}")
        for sec, text in diffs.items:
            print(f"  [{sec}] {text}")
        print(f"  work folder kept: {work}")
        return 0
    if not diffs:
        print(f"PASSED {sc.name}")
        if not keep:
            shutil.rmtree(work, ignore_errors=True)
        return 0
    print(f"\nFAILED {sc.name}: {len(diffs.items)} difference(s) from what the scenario expects")
    section = None
    for sec, text in diffs.items:
        if sec != section:
            print(f"  [{sec}]")
            section = sec
        print(f"    {text}")
    print(f"  work folder kept: {work}")
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
