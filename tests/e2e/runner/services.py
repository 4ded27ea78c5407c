"""The data folder of vorn-services for one scenario: catalogue, package,
cafe document and faults (tools/vorn-services/README.md)."""
import json
import os
import re
import shutil

from .scenario import ScenarioError

PACKAGE = "pkg/velto/client.7z"
DEFAULT_PACKAGE_SIZE = 4096


def prepare(cfg, sc, folder):
    """Writes the data folder; returns the extra vorn-services options."""
    s = sc.services
    os.makedirs(os.path.join(folder, "files", "pkg", "velto"), exist_ok=True)
    if "package" in s:
        # The project's own client package as built ("client"), or one of its
        # broken variants ("client-badcrc" ...), served as the channel's package.
        shutil.copyfile(client_package_path(cfg, s["package"]), os.path.join(folder, "files", PACKAGE))
    else:
        with open(os.path.join(folder, "files", PACKAGE), "wb") as f:
            # Sparse zeros: only its size matters before the download step.
            f.truncate(int(s.get("package_size", DEFAULT_PACKAGE_SIZE)))
    if "catalogue" in s:
        catalogue = s["catalogue"]
    else:
        entry = {"package": PACKAGE, "version": "1.0.0"}
        entry.update({k: expand_hosts(cfg, v) for k, v in s.get("entry", {}).items()})
        catalogue = {"channels": {cfg.channel: entry}}
    _write_json(folder, "catalogue.json", catalogue)
    cafe = s.get("cafe")
    if isinstance(cafe, dict):
        _write_json(folder, "cafe.json", cafe)
    elif isinstance(cafe, str):
        with open(os.path.join(folder, "cafe.json"), "w", encoding="utf-8") as f:
            f.write(cafe)
    if s.get("faults"):
        _write_json(folder, "faults.json", s["faults"])
    script = s.get("proxy", {}).get("script")
    if script is not None:
        # An automatic configuration script, served at http://127.0.0.1/proxy.pac.
        with open(os.path.join(folder, "files", "proxy.pac"), "w", encoding="utf-8") as f:
            f.write(expand_hosts(cfg, script))
    return [str(o) for o in s.get("options", [])]


def proxy_options(cfg, sc, folder):
    """proxy-run.sh's options for services.proxy, and the names the installer
    reaches directly; the other names it reaches only through the proxy."""
    p = sc.services["proxy"]
    direct = [expand_hosts(cfg, n) for n in p.get("direct", [])]
    unknown = [n for n in direct if n not in cfg.all_hosts.split()]
    if unknown:
        raise ScenarioError(f"services.proxy.direct: {unknown} are none of the build's host names")
    options = [folder, "--names", cfg.all_hosts, "--port", str(int(p.get("port", 3128)))]
    if p.get("refuse_connect"):
        options.append("--refuse-connect")
    if p.get("auth"):
        options.append("--auth")
    proxied = [n for n in cfg.all_hosts.split() if n not in direct]
    return options, direct, proxied


def client_package_path(cfg, name):
    """The built package of that name in the build's client folder."""
    if not isinstance(name, str) or not re.fullmatch(r"client(-[a-z0-9]+)?", name):
        raise ScenarioError(f"services.package {name!r}: give \"client\" or \"client-KIND\"")
    path = os.path.join(cfg.client_folder, name + ".7z")
    if not os.path.isfile(path):
        raise ScenarioError(f"services.package {name!r}: no such package was built ({path})")
    return path


def expand_hosts(cfg, value):
    """%GREEN_HOST% and the like in a catalogue value: the build's host names."""
    if not isinstance(value, str):
        return value
    return re.sub(r"%([A-Z_]+)_HOST%",
                  lambda m: cfg.hosts.get(m.group(1).lower(), m.group(0)), value)


def cafe_fields(sc):
    """What the reports carry once the cafe document was read."""
    cafe = sc.services.get("cafe")
    if not isinstance(cafe, dict):
        return {}
    out = {}
    if isinstance(cafe.get("guid"), str):
        out["b_icafe_guid"] = cafe["guid"]
    for group, names in (("bar_charge", ("charge_type", "charge_id")),
                         ("bar_manage", ("manage_type", "manage_id"))):
        part = cafe.get(group)
        if isinstance(part, dict):
            for n in names:
                if isinstance(part.get(n), str):
                    out["b_" + n] = part[n]
    return out


def _write_json(folder, name, value):
    with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
        json.dump(value, f, ensure_ascii=False)
