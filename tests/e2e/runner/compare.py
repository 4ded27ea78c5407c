"""Compares what a run left with what its scenario expects, section by
section, and words every difference so that a reader sees what happened."""
import difflib
import os
import re
import subprocess

from . import noise
from .plan import SIGNED_COPY
from .shelllink import LinkError, read_link
from .reports import RUN_ID, codec_of, expected_bodies, new_run_positions
from .layouts import accessible_rects
from .plan import device_rect
from .results import LOG_LINE

IGNORED_CLASSES = {"tooltips_class32"}


class Differences:
    def __init__(self):
        self.items = []

    def add(self, section, text):
        self.items.append((section, text))

    def __bool__(self):
        return bool(self.items)


class Placeholders:
    def __init__(self, cfg, run):
        m = run.machine()
        profile = m.get("profile", "")
        self.values = {
            "TEMP": m.get("temp", "").rstrip("\\"),  # as in the environment
            "USERPROFILE": profile,
            "DOWNLOADS": profile + "\\Downloads",
            "INSTALLER": profile + "\\Downloads\\VeltoInstaller.exe",
            "DATE": m.get("date", ""),
            "CHANNEL": cfg.channel,
            "CA_BUNDLE": cfg.ca_bundle,
            "CHANNEL_FILE": cfg.channel_file,
            "CHANNEL_INI": cfg.channel_ini,
            "CLIENT_FOLDER": cfg.client_folder,
            "TEST_CA": os.path.join(run.work, "services", "ca.pem"),
            "PACKAGE": os.path.join(run.work, "services", "files", "pkg", "velto", "client.7z"),
            "CLIENT_STAGE": os.path.join(cfg.client_folder, "stage"),
        }
        for name, host in cfg.hosts.items():
            self.values[name.upper() + "_HOST"] = host

    def __call__(self, value):
        if isinstance(value, str):
            return re.sub(r"%([A-Z_]+)%", lambda m: self.values.get(m.group(1), m.group(0)), value)
        if isinstance(value, list):
            return [self(v) for v in value]
        if isinstance(value, dict):
            return {k: self(v) for k, v in value.items()}
        return value


def _sequence_diff(expected, got):
    lines = difflib.ndiff([str(e) for e in expected], [str(g) for g in got])
    return "\n".join("      " + l for l in lines if not l.startswith("?"))


# --- the agent's own steps ---------------------------------------------------

def check_steps(run, plan, diffs):
    if run.result is None:
        diffs.add("run", f"the agent wrote no result (exit code {run.rc}); see the output above")
        return
    for s in run.result["steps"]:
        if not s["ok"]:
            origin = plan.origin.get(s["line"], f"plan line {s['line']}")
            diffs.add("steps", f"{origin}: {s['verb']} {' '.join(s['args'])!r} failed "
                               f"({s['ms'] / 1000:.1f} s into the run): {s['detail']}")


# --- programs, windows ---------------------------------------------------------

def check_exits(sc, run, diffs):
    expected = {"main": sc.expect.get("exit_code", 0)}
    expected.update(sc.expect.get("exit_codes", {}))
    for inst in (run.result or {}).get("instances", []):
        want = expected.get(inst["name"])
        if want is None:
            continue
        if want == "terminated":
            if inst["how"] not in ("terminated by the plan", "killed with the session"):
                diffs.add("exit", f"{inst['name']}: expected to be still running when the scenario "
                                  f"ended it, but it {inst['how']} with code {inst['exit_code']}")
        elif inst["how"] != "exited" or inst["exit_code"] != want:
            code = inst["exit_code"]
            if code >= 1 << 31:
                code -= 1 << 32
            diffs.add("exit", f"{inst['name']}: expected exit code {want}, got {code} ({inst['how']})")


def check_codepage(sc, run, diffs):
    want = sc.ansi_codepage
    got = run.machine().get("ansi_codepage")
    if want is not None and run.result is not None and got != want:
        diffs.add("machine", f"the run had ANSI code page {got}, expected {want} "
                             f"(locale {sc.locale or 'inherited'})")


def observed_windows(run):
    seen = [w for w in (run.result or {}).get("windows", [])
            if w["shown_ms"] >= 0 and w["class"] not in IGNORED_CLASSES]
    seen.sort(key=lambda w: w["shown_ms"])
    labelled, counts = [], {}
    for w in seen:
        label = w["class"] if w["instance"] == "main" else f"{w['instance']}:{w['class']}"
        counts[label] = counts.get(label, 0) + 1
        key = label if counts[label] == 1 else f"{label}#{counts[label]}"
        labelled.append((label, key, w))
    return labelled


def _open_ms(w, end_ms):
    closed = [t for t in (w["hidden_ms"], w["gone_ms"]) if t >= 0]
    return (min(closed) if closed else end_ms) - w["shown_ms"]


def check_windows(sc, run, diffs):
    dpi = run.machine().get("dpi")
    if run.result is not None and dpi != sc.dpi:
        diffs.add("windows", f"the display ran at {dpi} DPI, the scenario asks for {sc.dpi}")
    windows = observed_windows(run)
    if "windows" in sc.expect:
        got = [label for label, _, _ in windows]
        if got != sc.expect["windows"]:
            diffs.add("windows", "the windows that appeared, in order (- expected, + seen):\n"
                      + _sequence_diff(sc.expect["windows"], got))
    by_key = {key: w for _, key, w in windows}
    end_ms = max([s["ms"] for s in (run.result or {}).get("steps", [])] or [0])
    for key, props in sc.expect.get("window", {}).items():
        w = by_key.get(key)
        if w is None:
            diffs.add("windows", f"{key}: expected properties, but no such window appeared")
            continue
        r = w.get("settled_rect", w["first_rect"])
        open_ms = _open_ms(w, end_ms)
        if "min_open_ms" in props and open_ms < props["min_open_ms"]:
            diffs.add("windows", f"{key}: open for {open_ms} ms, expected at least {props['min_open_ms']}")
        if "max_open_ms" in props and open_ms > props["max_open_ms"]:
            diffs.add("windows", f"{key}: open for {open_ms} ms, expected at most {props['max_open_ms']}")
        if "size" in props and [r[2] - r[0], r[3] - r[1]] != props["size"]:
            diffs.add("windows", f"{key}: size {r[2] - r[0]}x{r[3] - r[1]}, expected "
                                 f"{props['size'][0]}x{props['size'][1]}")
        if "title" in props and w["title"] != props["title"]:
            diffs.add("windows", f"{key}: title {w['title']!r}, expected {props['title']!r}")
        if props.get("centred"):
            wa = run.machine().get("work_area", [0, 0, 0, 0])
            want = [(wa[0] + wa[2] - (r[2] - r[0])) // 2, (wa[1] + wa[3] - (r[3] - r[1])) // 2]
            if abs(r[0] - want[0]) > 1 or abs(r[1] - want[1]) > 1:
                diffs.add("windows", f"{key}: opened at {r[:2]}, expected centred on the work area "
                                     f"{wa} at {want}")
        if "moved" in props:
            moved = r[:2] != w["last_rect"][:2]
            if moved != props["moved"]:
                diffs.add("windows", f"{key}: expected {'a' if props['moved'] else 'no'} move, but it went "
                                     f"from {r[:2]} to {w['last_rect'][:2]}")
        if "at" in props:
            other = by_key.get(props["at"])
            if other is None:
                diffs.add("windows", f"{key}: expected at the place of {props['at']}, which never appeared")
            elif r[:2] != other["last_rect"][:2]:
                diffs.add("windows", f"{key}: opened at {r[:2]}, expected where {props['at']} last was: "
                                     f"{other['last_rect'][:2]}")


def check_rects_and_texts(sc, run, ph, diffs):
    rects = (run.result or {}).get("rects", {})
    for label, props in sc.expect.get("rects", {}).items():
        r = rects.get(label)
        if r is None:
            diffs.add("rects", f"{label}: no rectangle was recorded")
            continue
        if "size" in props and [r[2] - r[0], r[3] - r[1]] != props["size"]:
            diffs.add("rects", f"{label}: size {r[2] - r[0]}x{r[3] - r[1]}, expected "
                               f"{props['size'][0]}x{props['size'][1]}")
        if "origin_as" in props:
            other = rects.get(props["origin_as"])
            if other is None or other[:2] != r[:2]:
                diffs.add("rects", f"{label}: top-left {r[:2]}, expected that of {props['origin_as']}: "
                                   f"{other[:2] if other else None}")
    texts = (run.result or {}).get("texts", {})
    for label, wanted in sc.expect.get("texts", {}).items():
        got = texts.get(label)
        for text in ph(wanted):
            if got is None or text not in got:
                diffs.add("texts", f"{label}: expected the text {text!r} among {got!r}")


def check_trees(cfg, sc, run, diffs):
    """Each accessibility tree the agent read: its lines as the scenario
    expects them, and its children where the window's layout puts the
    controls, at the display's scale."""
    trees = (run.result or {}).get("trees", {})
    for label, wanted in sc.expect.get("trees", {}).items():
        got = trees.get(label, {}).get("lines")
        if got is None:
            diffs.add("trees", f"{label}: no tree was read")
        elif got != wanted:
            diffs.add("trees", f"{label}: the tree reads\n    " + "\n    ".join(got))
    for label, tree in trees.items():
        expected = [device_rect(r, sc.dpi) for r in accessible_rects(cfg.skin_dir, tree["window"])]
        got = tree["rects"][1:]
        if len(got) != len(expected):
            diffs.add("trees", f"{label}: {len(got)} children, the layout has {len(expected)} controls")
            continue
        for i, (g, e) in enumerate(zip(got, expected), 1):
            if g != e:
                diffs.add("trees", f"{label}: child {i} at {g}, the layout puts it at {e}")


# --- services and outside programs -------------------------------------------

def check_reports(cfg, sc, run, diffs):
    if "reports" not in sc.expect:
        return
    got = run.reports
    # Each run of the installer makes its own identifier: taken from the
    # received report where that run's reports begin.
    run_ids = []
    for i in [0] + [p for p in new_run_positions(sc.expect["reports"]) if p > 0]:
        run_id = "<run id>"  # nothing received to take it from
        if i < len(got) and isinstance(got[i].get("body_json"), dict):
            run_id = got[i]["body_json"].get("b_guid", "")
            if not RUN_ID.fullmatch(run_id):
                diffs.add("reports", f"b_guid {run_id!r} is not a run identifier (32 lower-case "
                                     "hexadecimal digits with 0000 at characters 9-12 and 17-20)")
            elif run_id in run_ids:
                diffs.add("reports", f"report {i + 1} begins another run, but carries the identifier "
                                     f"{run_id} of an earlier one")
        run_ids.append(run_id)
    # Wine's SendARP answers ERROR_NOT_SUPPORTED, so the MAC stays empty even
    # with an Ethernet adapter in the namespace.
    expected = expected_bodies(cfg, sc, sc.expect["reports"], run_ids, "", sc.ansi_codepage)
    bodies = [r.get("body", "") for r in got]
    if bodies != expected:
        diffs.add("reports", f"{len(got)} reports received, {len(expected)} expected; bodies in order "
                             "(- expected, + received):\n" + _sequence_diff(expected, bodies))
    for i, r in enumerate(got, 1):
        if not r.get("sign_valid"):
            diffs.add("reports", f"report {i}: signature {r.get('sign')!r}, expected "
                                 f"{r.get('sign_expected')!r}")
        headers = {k.lower(): v for k, v in r.get("headers", {}).items()}
        for name, value in (("projectid", "NewVX"), ("businessid", "Install"),
                            ("content-type", "application/json")):
            if headers.get(name) != value:
                diffs.add("reports", f"report {i}: header {name} is {headers.get(name)!r}, expected {value!r}")


def check_urls_and_programs(sc, run, ph, diffs):
    urls = ph(sc.expect.get("urls", []))
    if run.urls != urls:
        diffs.add("browser", "addresses opened in the browser (- expected, + opened):\n"
                  + _sequence_diff(urls, run.urls))
    programs = ph(sc.expect.get("programs", []))
    got = [{k: s.get(k) for k in ("path", "cwd", "args")} for s in run.starts]
    if got != programs:
        diffs.add("programs", "programs started (- expected, + started):\n"
                  + _sequence_diff(programs, got))


def check_children(sc, run, diffs):
    if "children" not in sc.expect:
        return
    got = [c["name"] if c["parent"] == "main" else f"{c['parent']}:{c['name']}"
           for c in (run.result or {}).get("children", []) if not noise.child_ignored(c["name"])]
    if got != sc.expect["children"]:
        diffs.add("children", "processes the installer started (- expected, + started):\n"
                  + _sequence_diff(sc.expect["children"], got))


def check_requests(sc, run, diffs):
    for path, schemes in sc.expect.get("requests", {}).items():
        got = [r.get("scheme") for r in run.requests if r.get("path") == path]
        if got != schemes:
            diffs.add("requests", f"{path}: requested over {got}, expected over {schemes}")


def check_proxied(sc, run, ph, diffs):
    """The requests squid saw, as "METHOD URL STATUS", in any order: CONNECT
    host:port for a tunnel, the absolute URL for plain HTTP."""
    if "proxied" not in sc.expect:
        return
    expected = sorted(ph(sc.expect["proxied"]))
    got = sorted(run.proxied)
    if got != expected:
        diffs.add("proxied", "the proxy's requests differ (sorted; - expected, + seen):\n"
                  + _sequence_diff(expected, got))


# --- registry ------------------------------------------------------------------

def _registry_changes(run):
    if run.reg_before is None or run.reg_after is None:
        return None
    (kb, vb), (ka, va) = run.reg_before, run.reg_after
    changed = {}
    for path, (t, v) in va.items():
        if vb.get(path) != (t, v) and not noise.registry_ignored(path):
            changed[path] = v
    removed = {p for p in vb if p not in va and not noise.registry_ignored(p)}
    new_keys = {k for k in ka - kb if not noise.registry_ignored(k)}
    gone_keys = {k for k in kb - ka if not noise.registry_ignored(k)}
    return changed, removed, new_keys, gone_keys


def _value_matches(want, got):
    if isinstance(want, dict) and "match" in want:
        return isinstance(got, str) and re.fullmatch(want["match"], got) is not None
    return want == got


def lost_registry(run):
    """The values a killed session lost: there at the kill, not (or not so)
    after it. None without a session killed by a stop."""
    if run.reg_at_stop is None or run.reg_resumed is None:
        return None
    before, after = run.reg_at_stop[1], run.reg_resumed[1]
    return sorted(p for p, v in before.items() if after.get(p) != v and not noise.registry_ignored(p))


def check_lost_registry(sc, run, ph, diffs):
    if "lost_registry" not in sc.expect:
        return
    got = lost_registry(run)
    if got is None:
        diffs.add("registry", "expected values lost by a session kill, but no session was killed")
        return
    want = sorted(ph(sc.expect["lost_registry"]))
    if [p.lower() for p in got] != [p.lower() for p in want]:
        diffs.add("registry", "the values the session kill lost (- expected, + lost):\n"
                  + _sequence_diff(want, got))


def check_registry(sc, run, ph, diffs):
    changes = _registry_changes(run)
    if changes is None:
        diffs.add("registry", "no registry snapshots (the run did not get that far)")
        return
    changed, removed, new_keys, gone_keys = changes
    expected = {ph(k): ph(v) for k, v in sc.expect.get("registry", {}).items()}
    for path, want in expected.items():
        if path.endswith("\\"):
            if path[:-1] not in new_keys:
                diffs.add("registry", f"expected the new key {path[:-1]}, which was not created")
        elif want is False:
            if path not in removed:
                diffs.add("registry", f"expected {path} to be removed")
        elif path not in changed:
            diffs.add("registry", f"expected {path} = {want!r}, but the run did not set it")
        elif not _value_matches(want, changed[path]):
            diffs.add("registry", f"{path} = {changed[path]!r}, expected {want!r}")
    for path, value in sorted(changed.items()):
        if path not in expected:
            diffs.add("registry", f"unexpected value {path} = {value!r}")
    for path in sorted(removed):
        if expected.get(path) is not False:
            diffs.add("registry", f"unexpected removal of {path}")
    implied = {p.rsplit("\\", 1)[0] for p in expected} | {p[:-1] for p in expected if p.endswith("\\")}
    for key in sorted(new_keys):
        if not any(i == key or i.startswith(key + "\\") for i in implied):
            diffs.add("registry", f"unexpected new key {key}")
    for key in sorted(gone_keys):
        diffs.add("registry", f"unexpected removal of the key {key}")


# --- files and the log -----------------------------------------------------------

def _file_expectations(sc, ph):
    expected = {}
    if sc.expect.get("temp_files", True):
        bundle = ["%CA_BUNDLE%", "%TEST_CA%"] if sc.machine.get("trust_test_ca") else "%CA_BUNDLE%"
        expected["%TEMP%\\cacert.pem"] = {"same_as": bundle}
        expected["%TEMP%\\ZizUdir.dat"] = {"same_as": "%CHANNEL_FILE%"}
        expected["%TEMP%\\ZizUdir.ini"] = {"same_as": "%CHANNEL_INI%"}
        expected["%TEMP%\\Installer%DATE%.log"] = True
    for path, want in sc.expect.get("files", {}).items():
        if isinstance(want, dict) and "tree" in want:
            expected.update(_tree_expectations(path, ph(want["tree"])))
        else:
            expected[path] = want
    return {ph(k).lower(): (ph(k), ph(v)) for k, v in expected.items()}


def _tree_expectations(folder, host_root):
    """The folder holds exactly the host folder's tree: each file with its content."""
    out = {folder: {"folder": True}}
    for parent, dirs, files in os.walk(host_root):
        rel = os.path.relpath(parent, host_root)
        base = folder if rel == "." else folder + "\\" + rel.replace("/", "\\")
        for d in dirs:
            out[base + "\\" + d] = {"folder": True}
        for f in files:
            out[base + "\\" + f] = {"same_as": os.path.join(parent, f)}
    return out


def _check_file(path, want, change, run, diffs):
    if want is True:
        return
    if want is False:
        if change["kind"] != "removed":
            diffs.add("files", f"{path}: expected to be removed, but it was {change['kind']}")
        return
    if change["kind"] == "removed":
        diffs.add("files", f"{path}: removed, expected {want}")
        return
    if want.get("folder", False) != change["folder"]:
        diffs.add("files", f"{path}: is {'a folder' if change['folder'] else 'a file'}, expected "
                           f"{'a folder' if want.get('folder') else 'a file'}")
        return
    data = None if change["folder"] else run.captured(change["path"])
    if "size" in want and change["size"] != want["size"]:
        diffs.add("files", f"{path}: {change['size']} bytes, expected {want['size']}")
    if "same_as" in want:
        sources = want["same_as"] if isinstance(want["same_as"], list) else [want["same_as"]]
        ref = b""
        for source in sources:
            with open(source, "rb") as f:
                ref += f.read()
        if data != ref:
            diffs.add("files", f"{path}: content differs from {want['same_as']} "
                               f"({len(data) if data is not None else 'no'} bytes against {len(ref)})")
    if "text" in want and (data is None or data.decode("utf-8", "replace") != want["text"]):
        diffs.add("files", f"{path}: content {data!r}, expected {want['text']!r}")
    if "link" in want or "link_cwd" in want:
        _check_link(path, want, data, run.machine().get("ansi_codepage"), diffs)


def _check_link(path, want, data, codepage, diffs):
    ansi = codec_of(codepage)
    try:
        link = read_link(data or b"", ansi)
    except LinkError as e:
        diffs.add("files", f"{path}: expected a shell link, but it cannot be read: {e}")
        return
    for key, field, what in (("link", "target", "target"),
                             ("link_cwd", "working_folder", "working folder")):
        if key not in want or link[field].lower() == want[key].lower():
            continue
        # Wine keeps the target only in the ANSI code page, with "?" for what it
        # cannot hold (Windows adds the wide form): compare what it can hold.
        if (field == "target" and link["target_ansi"] is not None and
                link["target_ansi"].lower() == want[key].encode(ansi, "replace").lower()):
            continue
        diffs.add("files", f"{path}: link {what} {link[field]!r}, expected {want[key]!r}")


def check_files(sc, run, ph, diffs):
    if run.result is None:
        return
    if not run.result.get("snapshots"):
        diffs.add("files", "no file snapshots (the run did not get that far)")
        return
    expected = _file_expectations(sc, ph)
    changes = [c for c in run.result["file_changes"] if not noise.file_ignored(c["path"])]
    seen = set()
    for c in changes:
        key = c["path"].lower()
        if key in expected:
            seen.add(key)
            _check_file(c["path"], expected[key][1], c, run, diffs)
        elif c["kind"] == "added" and c["folder"] and any(e.startswith(key + "\\") for e in expected):
            continue  # a parent folder of an expected entry
        else:
            what = "folder" if c["folder"] else f"file of {c['size']} bytes"
            diffs.add("files", f"unexpected: {c['path']} {c['kind']} ({what})")
    for key, (path, want) in expected.items():
        if key not in seen and not (isinstance(want, dict) and want.get("optional")):
            diffs.add("files", f"expected {path} to be {'removed' if want is False else 'written'}, "
                               "but the run left it as it was")


def check_signature(cfg, sc, run, diffs):
    """A signed executable ran as it was signed: the copy it ran from is still
    the signed file, and its signature verifies."""
    if not sc.signed:
        return
    ran = os.path.join(run.work, SIGNED_COPY)
    if not os.path.exists(ran):
        diffs.add("signature", "the copy that ran was not kept (the run did not get that far)")
        return
    with open(ran, "rb") as a, open(cfg.signed_installer, "rb") as b:
        if a.read() != b.read():
            diffs.add("signature", f"the copy that ran differs from {cfg.signed_installer}")
    sign = os.path.join(cfg.source_dir, "tools", "release", "sign.sh")
    p = subprocess.run([sign, "verify", ran, cfg.signing_ca], capture_output=True, text=True)
    if p.returncode != 0:
        diffs.add("signature", "the copy that ran does not verify:\n"
                  + "\n".join("      " + l for l in (p.stdout + p.stderr).splitlines()))


def log_lines(run):
    lines = []
    for path in run.log_files():
        data = run.captured(path) or b""
        lines += data.decode("cp936", errors="replace").replace("\r\n", "\n").split("\n")
    return [l for l in lines if l]


def check_log(sc, run, ph, diffs):
    lines = log_lines(run)
    messages = []
    for l in lines:
        m = LOG_LINE.match(l)
        if m is None:
            diffs.add("log", f"a line not in the log format: {l!r}")
        else:
            messages.append(f"[{m.group(6)}]|{m.group(7)}")
    position = 0
    for want in ph(sc.expect.get("log", [])):
        found = next((i for i in range(position, len(messages)) if messages[i] == want), None)
        if found is None:
            before = [m for m in messages[:position] if m == want]
            where = " (it came earlier, out of order)" if before else ""
            diffs.add("log", f"missing line{where}: {want!r}\n      the log's lines:\n"
                      + "\n".join("        " + m for m in messages))
            break
        position = found + 1
    for unwanted in ph(sc.expect.get("log_absent", [])):
        if any(unwanted in m for m in messages):
            diffs.add("log", f"a line holds {unwanted!r}, which must not appear")


def compare(cfg, sc, run, plan):
    diffs = Differences()
    ph = Placeholders(cfg, run)
    check_steps(run, plan, diffs)
    check_exits(sc, run, diffs)
    check_codepage(sc, run, diffs)
    check_windows(sc, run, diffs)
    check_rects_and_texts(sc, run, ph, diffs)
    check_trees(cfg, sc, run, diffs)
    check_reports(cfg, sc, run, diffs)
    check_urls_and_programs(sc, run, ph, diffs)
    check_children(sc, run, diffs)
    check_requests(sc, run, diffs)
    check_proxied(sc, run, ph, diffs)
    check_signature(cfg, sc, run, diffs)
    if run.result is not None:
        check_registry(sc, run, ph, diffs)
        check_lost_registry(sc, run, ph, diffs)
        check_files(sc, run, ph, diffs)
        check_log(sc, run, ph, diffs)
    return diffs
