"""Scenario files (TOML): the starting state, the actions and the expected end
state of one run of the installer. See tests/e2e/README.md for the format."""
import os
import re
import tomllib


class ScenarioError(Exception):
    pass


TOP_KEYS = {"about", "labels", "pending", "timeout", "services", "machine", "step", "expect"}
SERVICE_KEYS = {"package", "package_size", "entry", "catalogue", "cafe", "faults", "options", "ethernet",
                "proxy"}
MACHINE_KEYS = {"command_line", "drives", "registry", "folders", "files", "trust_test_ca", "dpi",
                "locale", "proxy", "quarantine", "installer"}
# Which executable the run starts: the build's, or that build signed as a release is.
INSTALLERS = {"build", "signed"}
# Display scaling of 100 % to 200 % (LogPixels of the prefix).
DPI_RANGE = (96, 192)
# The user's connection settings (Internet Options) and the squid between the
# installer and the services.
MACHINE_PROXY_KEYS = {"server", "bypass", "script", "detect"}
SERVICE_PROXY_KEYS = {"port", "direct", "refuse_connect", "auth", "script"}
DRIVE_KINDS = {"fixed", "tmpfs", "folder"}
ACTIONS = {"wait", "click", "drag", "key", "type", "sleep", "shot", "film", "rect", "texts", "tree", "press",
           "expect_message", "open", "gone", "launch", "exit", "terminate", "stop", "branch",
           "set_registry"}
MODIFIERS = {"window", "at", "from", "to", "timeout", "within", "every", "gap", "area", "args",
             "program", "note", "instance", "near", "when", "missed", "on", "value"}
# What a stop looks at, one kind to a condition; "size" goes with "file".
CONDITIONS = {"window", "log", "file", "absent", "reading", "registry", "no_registry", "request"}
STOP_KINDS = {"process", "session"}
# Steps that shape the road itself cannot depend on a branch of it.
NOT_ON_A_BRANCH = {"launch", "exit", "terminate", "stop", "branch"}
EXPECT_KEYS = {"exit_code", "exit_codes", "windows", "window", "reports", "urls", "programs",
               "children", "requests", "log", "log_absent", "registry", "files", "temp_files",
               "rects", "texts", "trees", "ansi_codepage", "proxied", "lost_registry"}
# language_TERRITORY.CHARSET, as glibc's localedef makes them
LOCALE = re.compile(r"[a-z]{2,3}_[A-Z]{2}\.[A-Za-z0-9-]+")
WINDOW_KEYS = {"min_open_ms", "max_open_ms", "size", "title", "at", "moved", "centred"}


def _check_keys(where, table, allowed):
    if not isinstance(table, dict):
        raise ScenarioError(f"{where} must be a table")
    unknown = set(table) - allowed
    if unknown:
        raise ScenarioError(f"{where}: unknown keys {sorted(unknown)} (allowed: {sorted(allowed)})")


class Scenario:
    def __init__(self, path):
        self.path = os.path.abspath(path)
        self.name = os.path.splitext(os.path.basename(path))[0]
        try:
            with open(path, "rb") as f:
                data = tomllib.load(f)
        except (OSError, tomllib.TOMLDecodeError) as e:
            raise ScenarioError(f"{path}: {e}") from e
        _check_keys(self.name, data, TOP_KEYS)
        if not isinstance(data.get("about"), str):
            raise ScenarioError(f"{self.name}: 'about' (one line on what it shows) is required")
        self.about = data["about"]
        self.labels = list(data.get("labels", []))
        self.pending = data.get("pending", "")
        self.timeout = int(data.get("timeout", 150))
        self.services = data.get("services", {})
        _check_keys(f"{self.name}.services", self.services, SERVICE_KEYS)
        self.machine = data.get("machine", {})
        _check_keys(f"{self.name}.machine", self.machine, MACHINE_KEYS)
        self.dpi = self.machine.get("dpi", 96)
        if not (isinstance(self.dpi, int) and DPI_RANGE[0] <= self.dpi <= DPI_RANGE[1]):
            raise ScenarioError(f"{self.name}: machine.dpi must be a whole number from "
                                f"{DPI_RANGE[0]} to {DPI_RANGE[1]}")
        for letter, drive in self.machine.get("drives", {}).items():
            if len(letter) != 1 or not letter.isalpha():
                raise ScenarioError(f"{self.name}: drive {letter!r} is no drive letter")
            _check_keys(f"{self.name}.machine.drives.{letter}", drive, {"kind", "size", "readonly"})
            if drive.get("kind") not in DRIVE_KINDS:
                raise ScenarioError(f"{self.name}: drive {letter} needs kind = one of {sorted(DRIVE_KINDS)}")
            if drive.get("readonly") and drive["kind"] == "folder":
                raise ScenarioError(f"{self.name}: drive {letter}: only a volume can be read-only")
        quarantine = self.machine.get("quarantine")
        if quarantine is not None:
            _check_keys(f"{self.name}.machine.quarantine", quarantine, {"path", "size"})
            path = quarantine.get("path", "")
            drives = self.machine.get("drives", {})
            if not (isinstance(path, str) and re.fullmatch(r"[A-Za-z]:\\[^/]+", path) and
                    path[0].upper() in {d.upper() for d in drives}):
                raise ScenarioError(f"{self.name}.machine.quarantine: 'path' must be a file on one "
                                    "of machine.drives, such as 'D:\\Vorn\\tmpClient'")
            if not (isinstance(quarantine.get("size"), int) and quarantine["size"] >= 0):
                raise ScenarioError(f"{self.name}.machine.quarantine: 'size' (bytes) is required")
        installer = self.machine.get("installer", "build")
        if installer not in INSTALLERS:
            raise ScenarioError(f"{self.name}: machine.installer = one of {sorted(INSTALLERS)}")
        if installer == "signed" and self.machine.get("trust_test_ca"):
            raise ScenarioError(f"{self.name}: trust_test_ca rewrites the copy's CA bundle, which "
                                "breaks a signature: it cannot go with machine.installer = \"signed\"")
        self.signed = installer == "signed"
        self.locale = self.machine.get("locale", "")
        if self.locale:
            if not isinstance(self.locale, str) or not LOCALE.fullmatch(self.locale):
                raise ScenarioError(f"{self.name}: machine.locale {self.locale!r} is no locale name "
                                    "such as hi_IN.UTF-8")
        if "proxy" in self.machine:
            _check_keys(f"{self.name}.machine.proxy", self.machine["proxy"], MACHINE_PROXY_KEYS)
        if "proxy" in self.services:
            _check_keys(f"{self.name}.services.proxy", self.services["proxy"], SERVICE_PROXY_KEYS)
        self.steps = data.get("step", [])
        for i, step in enumerate(self.steps, 1):
            _check_keys(f"{self.name} step {i}", step, ACTIONS | MODIFIERS)
            actions = ACTIONS & set(step)
            if len(actions) != 1:
                raise ScenarioError(f"{self.name} step {i}: exactly one action of {sorted(ACTIONS)}")
            if "program" in step and "launch" not in step:
                raise ScenarioError(f"{self.name} step {i}: 'program' goes with 'launch' only")
            if "on" in step and actions & NOT_ON_A_BRANCH:
                raise ScenarioError(f"{self.name} step {i}: {sorted(actions)[0]} cannot be 'on' a branch")
            self._check_stop(i, step)
        self.expect = data.get("expect", {})
        _check_keys(f"{self.name}.expect", self.expect, EXPECT_KEYS)
        for path, schemes in self.expect.get("requests", {}).items():
            if not (isinstance(schemes, list) and all(isinstance(x, str) for x in schemes)):
                raise ScenarioError(f"{self.name}.expect.requests.{path}: a list of schemes")
        self.ansi_codepage = self.expect.get("ansi_codepage")
        if self.locale and not isinstance(self.ansi_codepage, int):
            raise ScenarioError(f"{self.name}: machine.locale needs expect.ansi_codepage, the code "
                                "page the run is to have (the services read the reports in it)")
        proxied = self.expect.get("proxied")
        if proxied is not None:
            if "proxy" not in self.services:
                raise ScenarioError(f"{self.name}.expect.proxied needs services.proxy")
            if not (isinstance(proxied, list) and all(isinstance(x, str) for x in proxied)):
                raise ScenarioError(f"{self.name}.expect.proxied: a list of \"METHOD URL STATUS\"")
        for cls, props in self.expect.get("window", {}).items():
            _check_keys(f"{self.name}.expect.window.{cls}", props, WINDOW_KEYS)

    def _check_stop(self, i, step):
        where = f"{self.name} step {i}"
        for key in ("near", "when", "missed", "instance"):
            if key in step and "stop" not in step:
                raise ScenarioError(f"{where}: '{key}' goes with 'stop' only")
        if "value" in step and "set_registry" not in step:
            raise ScenarioError(f"{where}: 'value' goes with 'set_registry' only")
        if "stop" not in step:
            return
        if step["stop"] not in STOP_KINDS:
            raise ScenarioError(f"{where}: stop = one of {sorted(STOP_KINDS)}")
        for role in ("near", "when", "missed"):
            conditions = step.get(role, [])
            if not isinstance(conditions, list):
                raise ScenarioError(f"{where}: '{role}' is a list of conditions")
            for c in conditions:
                kinds = CONDITIONS & set(c) if isinstance(c, dict) else set()
                extra = set(c) - CONDITIONS - {"size"} if isinstance(c, dict) else set()
                if len(kinds) != 1 or extra or ("size" in c and "file" not in c):
                    raise ScenarioError(f"{where}: a condition has one of {sorted(CONDITIONS)} "
                                        f"(and 'size' with 'file'): {c!r}")

    def has_session_stop(self):
        return any(s.get("stop") == "session" for s in self.steps)

    def action_of(self, step):
        return next(iter(ACTIONS & set(step)))
