"""Turns a scenario into the agent's plan: tab-separated steps, one a line.
The agent expands %VARIABLES% of its environment in every argument."""
import struct

from .config import windows_path
from .layouts import control_rect
from .scenario import ScenarioError
from .services import expand_hosts

INSTALLER_FOLDER = r"%USERPROFILE%\Downloads"
INSTALLER_PATH = INSTALLER_FOLDER + r"\VeltoInstaller.exe"
SIGNED_COPY = "installer-that-ran.exe"
DEFAULT_WAIT_MS = 20000
DEFAULT_EXIT_MS = 60000
DEFAULT_STOP_MS = 60000
# The message box's label, where its text shows.
MESSAGE_CLASS = "MessageInfoBoxUI"
# A window is painted a moment after it becomes visible.
PAINT_SETTLE_MS = 600


def device(value, dpi):
    """Layout units to pixels of a window at dpi, rounded as the toolkit does."""
    scaled = value * dpi
    return (scaled + 48) // 96 if scaled >= 0 else -((-scaled + 48) // 96)


def device_rect(rect, dpi):
    return [device(v, dpi) for v in rect]


class Plan:
    def __init__(self, dpi=96):
        self.prefix = []  # fields before each line: a step on a branch of the road
        self.lines = []
        self.origin = {}  # plan line number -> what the scenario said
        self.dpi = dpi  # client points of the scenario are layout units

    def point(self, xy):
        return [device(v, self.dpi) for v in xy]

    def centre(self, rect):
        left, top, right, bottom = device_rect(rect, self.dpi)
        return (left + right) // 2, (top + bottom) // 2

    def add(self, origin, *fields):
        for f in fields:
            text = str(f)
            if "\t" in text or "\n" in text:
                raise ScenarioError(f"{origin}: a value holds a tab or a line break: {text!r}")
        self.lines.append("\t".join(str(f) for f in [*self.prefix, *fields]))
        self.origin[len(self.lines)] = origin

    def text(self):
        return "\n".join(self.lines) + "\n"


def _point(step, key, where):
    value = step.get(key)
    if not (isinstance(value, list) and len(value) == 2 and all(isinstance(v, int) for v in value)):
        raise ScenarioError(f"{where}: '{key}' must be [x, y]")
    return value


def _window(step, where):
    cls = step.get("window")
    if not isinstance(cls, str):
        raise ScenarioError(f"{where}: 'window' (a window class) is required")
    return cls


INTERNET_SETTINGS = r"Software\Microsoft\Windows\CurrentVersion\Internet Settings"


def connection_settings(server="", bypass="", script="", detect=False, counter=1):
    """The binary value DefaultConnectionSettings as Internet Options writes it:
    version 0x46, a change counter, the flags (1 direct, 2 proxy, 4 script,
    8 detect), then the proxy, bypass and script strings, each after its
    length, and the zeros of the fields that follow them."""
    flags = 1 | (2 if server else 0) | (4 if script else 0) | (8 if detect else 0)
    data = struct.pack("<III", 0x46, counter, flags)
    for text in (server, bypass, script):
        raw = text.encode("ascii")
        data += struct.pack("<I", len(raw)) + raw
    return data + bytes(32)


def proxy_registry(cfg, proxy):
    """(key, name, type, value) under HKCU for the scenario's machine.proxy."""
    server = expand_hosts(cfg, proxy.get("server", ""))
    bypass = expand_hosts(cfg, proxy.get("bypass", ""))
    script = expand_hosts(cfg, proxy.get("script", ""))
    blob = connection_settings(server, bypass, script, bool(proxy.get("detect", False)))
    out = [(INTERNET_SETTINGS + r"\Connections", "DefaultConnectionSettings", "binary", blob.hex()),
           (INTERNET_SETTINGS, "ProxyEnable", "dword", 1 if server else 0)]
    if server:
        out.append((INTERNET_SETTINGS, "ProxyServer", "sz", server))
    if bypass:
        out.append((INTERNET_SETTINGS, "ProxyOverride", "sz", bypass))
    if script:
        out.append((INTERNET_SETTINGS, "AutoConfigURL", "sz", script))
    return out


def _setup(plan, cfg, sc, work):
    m = sc.machine
    plan.add("set-up", "autoshot", 700)
    if m.get("drives"):
        plan.add("set-up: drives", "drives", windows_path(work) + "\\")
    plan.add("set-up", "env", "VORN_URL_LOG", windows_path(f"{work}/urls.txt"))
    plan.add("set-up", "env", "VORN_E2E_STARTS", windows_path(f"{work}/starts.jsonl"))
    # The package's own client records its starts in the same file, and closes
    # by itself so that the run can end.
    plan.add("set-up", "env", "VORN_CLIENT_RECORD", windows_path(f"{work}/starts.jsonl"))
    plan.add("set-up", "env", "VORN_CLIENT_EXIT_MS", 5000)
    plan.add("set-up", "urlrecorder", windows_path(cfg.url_recorder))
    installer = cfg.signed_installer if sc.signed else cfg.installer
    plan.add("set-up", "copy", windows_path(installer), INSTALLER_PATH)
    if m.get("trust_test_ca"):
        # The copy's embedded CA bundle gets the services' test CA after its
        # roots, so the bundle the installer writes lets HTTPS verify.
        plan.add("machine.trust_test_ca", "trust-ca", INSTALLER_PATH,
                 windows_path(f"{work}/services/ca.pem"))
    for folder in m.get("folders", []):
        plan.add(f"machine.folders {folder}", "mkdir", folder)
    for f in m.get("files", []):
        where = f"machine.files {f.get('path')}"
        parent = f["path"].rsplit("\\", 1)[0]
        plan.add(where, "mkdir", parent)
        if f.get("copy") == "client-stub":
            plan.add(where, "copy", windows_path(cfg.client_stub), f["path"])
        elif "text" in f:
            plan.add(where, "write", f["path"], f["text"])
        elif "link" in f:
            plan.add(where, "link", f["path"], f["link"])
        else:
            raise ScenarioError(f"{where}: give copy = \"client-stub\", text = \"...\" or link = 'TARGET'")
    for r in m.get("registry", []):
        where = f"machine.registry {r.get('key')}"
        hive, _, key = r["key"].partition("\\")
        if "name" not in r:
            plan.add(where, "regkey", hive, key)
        else:
            plan.add(where, "reg", hive, key, r["name"], r.get("type", "sz"), r["value"])
    if "proxy" in m:
        for key, name, kind, value in proxy_registry(cfg, m["proxy"]):
            plan.add("machine.proxy", "reg", "HKCU", key, name, kind, value)
    messages = [s["expect_message"] for s in sc.steps if "expect_message" in s]
    area = plan.point(control_rect(cfg.skin_dir, MESSAGE_CLASS, "label"))
    for text in dict.fromkeys(messages):
        plan.add(f"reference rendering of \"{text}\"", "label-ref", text, *area)
    roots = ["C:\\"] + [f"{d.upper()}:\\" for d in sorted(m.get("drives", {}))]
    plan.add("set-up", "roots", *roots)
    if sc.has_session_stop():
        # The Wine server saves the registry when its session ends in order: the
        # machine's starting state must survive a kill of the session.
        plan.add("set-up: a session that a stop kills starts from a saved registry", "restart")
    plan.add("set-up", "before")


def _registry_path(path, where):
    hive, _, rest = path.partition("\\")
    key, _, name = rest.rpartition("\\")
    if hive not in ("HKCU", "HKLM") or not key or not name:
        raise ScenarioError(f"{where}: {path!r} is no HKCU\\key\\value or HKLM\\key\\value")
    return hive, key, name


def _stop_fields(step, where):
    """The stop line's fields after its name and kind: time-out, the pause
    between looks while not near, then role, kind, argument and number of each
    condition."""
    fields = [int(step.get("timeout", DEFAULT_STOP_MS)), int(step.get("every", 10))]
    for role in ("near", "when", "missed"):
        for c in step.get(role, []):
            kind = next(k for k in c if k != "size")
            if kind in ("registry", "no_registry"):
                _registry_path(c[kind], where)
            fields += [role, kind.replace("_", "-"), c[kind], int(c.get("size", 0))]
    return fields


def _action(plan, cfg, step, where, action):
    value = step[action]
    wait_ms = step.get("timeout", DEFAULT_WAIT_MS)
    if action == "wait":
        plan.add(where, "wait", value, wait_ms)
    elif action == "click":
        cls, _, control = value.partition(".")
        if control:
            x, y = plan.centre(control_rect(cfg.skin_dir, cls, control))
        else:
            x, y = plan.point(_point(step, "at", where))
        plan.add(where, "wait", cls, wait_ms)
        plan.add(where, "click", cls, x, y)
    elif action == "drag":
        a, b = plan.point(_point(step, "from", where)), plan.point(_point(step, "to", where))
        plan.add(where, "wait", value, wait_ms)
        plan.add(where, "drag", value, *a, *b)
    elif action in ("key", "type", "press"):
        cls = _window(step, where)
        plan.add(where, "wait", cls, wait_ms)
        plan.add(where, action, cls, value)
    elif action == "sleep":
        plan.add(where, "sleep", int(value))
    elif action == "film":
        cls = _window(step, where)
        plan.add(where, "wait", cls, wait_ms)
        area = plan.point([int(v) for v in step.get("area", [0, 0, 0, 0])])
        plan.add(where, "film", cls, value, int(step.get("every", 250)),
                 int(step.get("within", 120000)), int(step.get("gap", 0)), *area)
    elif action in ("shot", "rect", "texts", "tree"):
        cls = _window(step, where)
        if cls != "screen":
            plan.add(where, "wait", cls, wait_ms)
        plan.add(where, action, cls, value)
    elif action == "expect_message":
        area = plan.point(control_rect(cfg.skin_dir, MESSAGE_CLASS, "label"))
        plan.add(where, "wait", MESSAGE_CLASS, wait_ms)
        plan.add(where, "sleep", PAINT_SETTLE_MS)
        plan.add(where, "expect-label", MESSAGE_CLASS, *area, value)
    elif action == "open":
        plan.add(where, "open", value)
    elif action == "gone":
        plan.add(where, "gone", value, wait_ms)
    elif action == "launch":
        program = step.get("program", INSTALLER_PATH)
        if not isinstance(program, str) or "\\" not in program:
            raise ScenarioError(f"{where}: 'program' must be a full Windows path")
        # Started in its own folder, as from the shell.
        folder = INSTALLER_FOLDER if "program" not in step else program.rsplit("\\", 1)[0]
        plan.add(where, "launch", value, program, folder, step.get("args", ""))
    elif action == "exit":
        plan.add(where, "exit", value, step.get("within", DEFAULT_EXIT_MS))
    elif action == "terminate":
        plan.add(where, "terminate", value)
    elif action == "stop":
        plan.add(where, "stop", step.get("instance", "main"), value, *_stop_fields(step, where))
    elif action == "branch":
        if not (isinstance(value, list) and value and all(isinstance(v, str) for v in value)):
            raise ScenarioError(f"{where}: branch = [window classes]")
        plan.add(where, "branch", wait_ms, *value)
    elif action == "set_registry":
        hive, key, name = _registry_path(value, where)
        plan.add(where, "reg", hive, key, name, "sz", step.get("value", ""))


def build_plan(cfg, sc, work, exit_ms=None):
    """exit_ms: how long each program may take to end by itself after the last step."""
    exit_ms = DEFAULT_EXIT_MS if exit_ms is None else exit_ms
    plan = Plan(sc.dpi)
    _setup(plan, cfg, sc, work)
    plan.add("start of the run", "launch", "main", INSTALLER_PATH, INSTALLER_FOLDER,
             sc.machine.get("command_line", ""))
    launched, ended = ["main"], set()
    for i, step in enumerate(sc.steps, 1):
        action = sc.action_of(step)
        where = f"step {i} ({action} = {step[action]!r})"
        plan.prefix = ["on", step["on"]] if "on" in step else []
        _action(plan, cfg, step, where, action)
        plan.prefix = []
        if action == "launch":
            launched.append(step[action])
        if action in ("exit", "terminate"):
            ended.add(step[action])
        if action == "stop":
            ended.add(step.get("instance", "main"))
    for name in launched:
        if name not in ended:
            plan.add(f"end of the run: {name} ends by itself", "exit", name, exit_ms)
    plan.add("end of the run", "after")
    if sc.signed:
        # The copy that ran, for the host to check its signature.
        plan.add("end of the run: the signed copy that ran", "copy", INSTALLER_PATH,
                 windows_path(f"{work}/{SIGNED_COPY}"))
    return plan
