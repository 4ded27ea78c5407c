#!/usr/bin/env python3
"""Kill at any moment, then run again: the fresh installation of the large
package, stopped at a step boundary found from outside, then the installer
started again on the same machine and the user going on as a user would (the
road the check chooses). The end state must equal one clean installation's.

    kill_campaign.py CONFIG.json [--points=P1,P2] [--kinds=process,session] [--tries=N] [--keep]
                     [--list]

Each point and kind is one two-phase scenario of the end-to-end harness
(written to <build>/e2e/kill-scenarios/); "process" kills the installer's
process (TerminateProcess), "session" kills every Wine process of the prefix
and the Wine server with it, so that registry writes the server has not saved
yet are lost. Prints a table: point, stop kind, the runs it took to land the
stop, the road of the second run, what the kill lost of the registry, and the
end state (equal or the differences). A stop that misses its moment is run
again, up to --tries times (default 3). Exit codes: 0 every point recovered, 1
some did not, 2 usage.
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from run_scenario import execute  # noqa: E402
from runner.compare import lost_registry  # noqa: E402
from runner.config import Config  # noqa: E402
from runner.layouts import LayoutError  # noqa: E402
from runner.scenario import Scenario, ScenarioError  # noqa: E402

PACKAGE = "client-large"
# The first download is paced, so that its progress can be stopped at; the
# second one goes at full speed.
RATE = 8 << 20
KINDS = ["process", "session"]
TRIES = 3

FOLDER = "D:\\ProgramFiles\\Vorn\\"
TMP = FOLDER + "tmpClient"
START_MENU = "%USERPROFILE%\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Velto加速器.lnk"
DESKTOP = "%USERPROFILE%\\Desktop\\Velto加速器.lnk"
PRODUCT = "HKCU\\Software\\Corlanth\\Vorn\\"
UNINSTALL = ("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
             "{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}\\")
# The large package's entries in archive order: the folders, then these files.
FIRST, MIDDLE, NEXT_TO_MIDDLE, LAST = ("bench\\blob000.dat", "bench\\blob004.dat",
                                       "bench\\blob005.dat", "vorn.exe")
SECOND, BEFORE_LAST = "bench\\blob001.dat", "Uninstaller.exe"

# What the installer leaves after unpacking, in the order it does it: an id,
# how the table names it, the condition that it has begun and the one that it
# is done. A point between two of them stops with everything before done and
# the next one not begun.
MARKS = [
    ("extracted", "extraction", {"log": "Extracted "}, {"log": "Extracted "}),
    ("shortcut-start-menu", "the Start-menu shortcut", {"file": START_MENU}, {"file": START_MENU}),
    ("shortcut-desktop", "the desktop shortcut", {"file": DESKTOP}, {"file": DESKTOP}),
    ("package-deleted", "the package's deletion", {"absent": TMP}, {"absent": TMP}),
    ("channel-file", "the channel file", {"file": FOLDER + "ZizUdir.dat"},
     {"file": FOLDER + "ZizUdir.dat"}),
    ("uninstall-entry", "the uninstall entry", {"registry": UNINSTALL + "DisplayName"},
     {"registry": UNINSTALL + "Publisher"}),
    ("product-key", "the product key", {"registry": PRODUCT + "installDir"},
     {"registry": PRODUCT + "Version"}),
]

NOT = {"file": "absent", "absent": "file", "registry": "no_registry"}


def _negated(condition):
    (kind, arg), = condition.items()
    return {NOT[kind]: arg}


def _points(package_size):
    """id -> (what the table says, whether the user clicked install before,
    the stop's near/when/missed conditions)."""
    def size(percent):
        return {"file": TMP, "size": package_size * percent // 100}

    points = {
        "check": ("during the check", False, {
            "when": [{"window": "CheckWndUI"}, {"request": "/api/v1/sys/getClientVersion"}]}),
        "install-page": ("on the install page", False, {"when": [{"window": "InstallWndUI"}]}),
        "worker-wait": ("in the worker's wait", True, {
            "near": [{"window": "ProcessWndUI"}],
            "when": [{"window": "ProcessWndUI"}, {"absent": "D:\\ProgramFiles"}],
            "missed": [{"file": "D:\\ProgramFiles"}]}),
    }
    for p in (5, 50, 95):
        points[f"download-{p}"] = (f"download at {p} %", True, {
            "near": [size(p - 3)], "when": [size(p)], "missed": [size(p + 3)]})
    points["crc"] = ("in the CRC check", True, {
        "near": [size(97)],
        "when": [size(100), {"reading": TMP}, {"absent": FOLDER + "bench"}],
        "missed": [{"file": FOLDER + "bench"}]})
    for pid, text, near, entry, after in (
            ("extract-first", "at the first entry", {"reading": TMP}, FIRST, SECOND),
            ("extract-middle", "at a middle entry", {"file": FOLDER + MIDDLE[:-5] + "3.dat"},
             MIDDLE, NEXT_TO_MIDDLE),
            ("extract-last", "at the last entry", {"file": FOLDER + BEFORE_LAST}, LAST, None)):
        missed = [{"file": FOLDER + after}] if after else [MARKS[0][3]]
        points[pid] = (f"extraction {text}", True, {
            "near": [near], "when": [{"file": FOLDER + entry}], "missed": missed})
    # These follow one another within milliseconds: the installer is looked at
    # closely from its last entry on.
    near = [{"file": FOLDER + LAST}]
    for i, (mid, name, _, done) in enumerate(MARKS):
        before = [m[3] for m in MARKS[:i]]
        if MARKS[i][2] != done:
            points[f"in-{mid}"] = (f"inside {name}", True, {
                "near": near, "when": before + [MARKS[i][2], _negated(done)], "missed": [done]})
        if i + 1 < len(MARKS):
            _, next_name, begun, _ = MARKS[i + 1]
            points[f"after-{mid}"] = (f"between {name} and {next_name}", True, {
                "near": near, "when": before + [done, _negated(begun)], "missed": [begun]})
    points["completion"] = ("in the completion window", True, {
        "near": [m[3] for m in MARKS], "when": [{"window": "CompleteWndUI"}]})
    return points


def _toml(value):
    if isinstance(value, str):
        return "'" + value + "'" if "'" not in value else '"' + value.replace("\\", "\\\\") + '"'
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, list):
        return "[" + ", ".join(_toml(v) for v in value) + "]"
    if isinstance(value, dict):
        return "{ " + ", ".join(f"{k} = {_toml(v)}" for k, v in value.items()) + " }"
    raise TypeError(value)


def _steps(*steps):
    out = []
    for step in steps:
        out.append("[[step]]")
        out += [f"{k} = {_toml(v)}" for k, v in step.items()]
    return "\n".join(out)


INSTALL = [{"click": "InstallWndUI.option"}, {"click": "InstallWndUI.install"}]
# The second run: the user goes on where the check leads.
GO_ON = [
    {"launch": "again"},
    {"branch": ["InstallWndUI", "StartUpdateWndUI"], "timeout": 60000},
    {"click": "InstallWndUI.option", "on": "InstallWndUI"},
    {"click": "InstallWndUI.install", "on": "InstallWndUI"},
    {"wait": "CompleteWndUI", "on": "InstallWndUI", "timeout": 180000},
    {"click": "CompleteWndUI.start", "on": "InstallWndUI"},
    {"click": "StartUpdateWndUI.start", "on": "StartUpdateWndUI"},
]

# One clean installation, as fresh_install.toml states it for the large package.
EXPECT = """
[expect]
exit_code = "terminated"
exit_codes = { again = 0 }
programs = [{ path = 'D:\\ProgramFiles\\Vorn\\vorn.exe', cwd = '%DOWNLOADS%', args = [] }]

[expect.registry]
'HKCU\\Software\\Corlanth\\Vorn\\installDir' = 'D:\\ProgramFiles\\Vorn\\'
'HKCU\\Software\\Corlanth\\Vorn\\Start' = "vorn.exe"
'HKCU\\Software\\Corlanth\\Vorn\\Version' = "1.0.0"
'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}\\DisplayName' = "Velto加速器"
'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}\\InstallSource' = '%DOWNLOADS%\\VeltoInstaller.exe'
'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}\\DisplayVersion' = "1.0.0"
'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}\\InstallLocation' = 'D:\\ProgramFiles\\Vorn\\vorn.exe'
'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}\\ModifyPath' = 'D:\\ProgramFiles\\Vorn\\Uninstaller.exe'
'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}\\UninstallString' = 'D:\\ProgramFiles\\Vorn\\Uninstaller.exe'
'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}\\DisplayIcon' = 'D:\\ProgramFiles\\Vorn\\Uninstaller.exe'
'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3F8B2C61-71AE-4D05-9C2B-E6A41F07D95B}\\Publisher' = "Corlanth科技股份有限公司"

[expect.files]
'%USERPROFILE%\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Velto加速器.lnk' = { link = 'D:\\ProgramFiles\\Vorn\\vorn.exe', link_cwd = 'D:\\ProgramFiles\\Vorn\\' }
'%USERPROFILE%\\Desktop\\Velto加速器.lnk' = { link = 'D:\\ProgramFiles\\Vorn\\vorn.exe', link_cwd = 'D:\\ProgramFiles\\Vorn\\' }
'D:\\ProgramFiles' = { folder = true }
# Every file of the package with its content, and no "tmpClient".
'D:\\ProgramFiles\\Vorn' = { tree = "%CLIENT_FOLDER%/stage-large" }
'D:\\ProgramFiles\\Vorn\\ZizUdir.dat' = { same_as = "%CHANNEL_FILE%" }
"""


def scenario_text(point, kind, points):
    what, clicked, stop = points[point]
    head = f"""about = "Killed ({kind}) {what}, then the installer again: one clean installation"
labels = ["kill"]
timeout = 480

[machine]
trust_test_ca = true

[machine.drives]
D = {{ kind = "fixed", size = "4T" }}

[services]
package = "{PACKAGE}"
faults = [{{ path = "/pkg/velto/client.7z", rate = {RATE}, times = 1 }}]
"""
    stop_step = {"stop": kind, "timeout": 240000, **stop}
    return head + "\n" + _steps(*(INSTALL if clicked else []), stop_step, *GO_ON) + "\n" + EXPECT


def lost_summary(result):
    """The registry values that were there at the kill and not after it (a
    session killed before the Wine server saved them), by key."""
    lost = lost_registry(result)
    if lost is None:
        return "-"
    groups = {}
    for path in lost:
        key = path.rsplit("\\", 1)[0]
        label = ("product key" if key.lower() == PRODUCT[:-1].lower() else
                 "uninstall entry" if key.lower() == UNINSTALL[:-1].lower() else key)
        groups[label] = groups.get(label, 0) + 1
    return ", ".join(f"{k} ({n})" for k, n in sorted(groups.items())) or "nothing"


def road_of(result):
    for s in (result.result or {}).get("steps", []):
        if s["verb"] == "branch" and s["ok"]:
            return {"InstallWndUI": "install page", "StartUpdateWndUI": "start window"}.get(
                s["detail"].rsplit(" ", 1)[-1], s["detail"])
    return "-"


def missed_stop(result):
    """The stop's failure, when it did not stop the installer where it should."""
    for s in (result.result or {}).get("steps", []):
        if s["verb"] == "stop" and not s["ok"]:
            return s["detail"]
    return None


def run_point(cfg, folder, point, kind, points, keep, tries=TRIES):
    """Runs the point until its stop lands (a moment of a few milliseconds can
    pass between two looks), at most tries times."""
    path = os.path.join(folder, f"kill_{point}_{kind}.toml".replace("-", "_"))
    with open(path, "w", encoding="utf-8") as f:
        f.write(scenario_text(point, kind, points))
    sc = Scenario(path)
    for attempt in range(1, tries + 1):
        work, result, diffs = execute(cfg, sc)
        missed = missed_stop(result)
        if missed is None or attempt == tries:
            break
        print(f"  the stop did not land ({missed}); again", flush=True)
    row = {"point": point, "kind": kind, "road": road_of(result), "lost": lost_summary(result),
           "diffs": [] if missed else diffs.items, "missed": missed, "tries": attempt}
    if not diffs and not keep:
        shutil.rmtree(work, ignore_errors=True)
    else:
        row["work"] = work
    return row


def _cell(text, width):
    return text[:width].ljust(width)


def _short(diffs, most=3):
    """The differences in a table cell: the first few of each section."""
    by_section = {}
    for sec, text in diffs:
        line = text.splitlines()[0]
        line = line.replace(UNINSTALL[:-1], "<uninstall entry>").replace(PRODUCT[:-1], "<product key>")
        by_section.setdefault(sec, []).append(line[:110])
    parts = []
    for sec, lines in by_section.items():
        more = f" (and {len(lines) - most} more)" if len(lines) > most else ""
        parts.append(f"[{sec}] " + "; ".join(lines[:most]) + more)
    return " ".join(parts)


def print_table(rows, points):
    print("\n| point | stop | tries | second run | registry lost by the kill | end state |")
    print("|---|---|---|---|---|---|")
    for r in rows:
        if r["missed"]:
            state = f"NOT STOPPED there in {r['tries']} tries: {r['missed']}"
        elif r["diffs"]:
            state = "DIFFERS: " + _short(r["diffs"])
        else:
            state = "equal"
        print(f"| {r['point']} ({points[r['point']][0]}) | {r['kind']} | {r['tries']} | "
              f"{r['road']} | {r['lost']} | {state} |")


def main(argv):
    args = [a for a in argv[1:] if not a.startswith("--")]
    options = dict(a[2:].split("=", 1) if "=" in a else (a[2:], "") for a in argv[1:]
                   if a.startswith("--"))
    if len(args) != 1 or set(options) - {"points", "kinds", "tries", "keep", "list"}:
        print(__doc__, file=sys.stderr)
        return 2
    cfg = Config(args[0])
    package = os.path.join(cfg.client_folder, PACKAGE + ".7z")
    if not os.path.isfile(package):
        print(f"kill_campaign: the package {package} was not built", file=sys.stderr)
        return 2
    points = _points(os.path.getsize(package))
    if "list" in options:
        for pid, (what, _, _) in points.items():
            print(f"{pid}: {what}")
        return 0
    chosen = options["points"].split(",") if options.get("points") else list(points)
    kinds = options["kinds"].split(",") if options.get("kinds") else KINDS
    unknown = [p for p in chosen if p not in points] + [k for k in kinds if k not in KINDS]
    if unknown:
        print(f"kill_campaign: unknown points or kinds {unknown} (see --list)", file=sys.stderr)
        return 2
    folder = os.path.join(cfg.work_root, "kill-scenarios")
    os.makedirs(folder, exist_ok=True)
    rows = []
    for point in chosen:
        for kind in kinds:
            print(f"\n=== {point} ({points[point][0]}), {kind} kill", flush=True)
            try:
                row = run_point(cfg, folder, point, kind, points, "keep" in options,
                                int(options.get("tries") or TRIES))
            except (ScenarioError, LayoutError, KeyError) as e:
                print(f"kill_campaign: the scenario is broken: {e}", file=sys.stderr)
                return 2
            for sec, text in row["diffs"]:
                print(f"  [{sec}] {text}")
            if "work" in row:
                print(f"  work folder kept: {row['work']}")
            rows.append(row)
    print_table(rows, points)
    failed = [r for r in rows if r["diffs"] or r["missed"]]
    print(f"\n{len(rows) - len(failed)} of {len(rows)} stops recovered to one clean installation")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
