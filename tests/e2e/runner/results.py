"""What a run left behind in its work folder: the agent's observations, the
services' records, the browser stand-in's and the client stub's logs, the
registry snapshots and the installer's log file."""
import json
import os
import re

LOG_LINE = re.compile(r"^\[(\d\d):(\d\d):(\d\d)\.(\d{3})\]\|\[([0-9a-f]{4,})\]\|\[([A-Za-z]+)\]\|(.*)$")


def _lines(path):
    try:
        with open(path, encoding="utf-8") as f:
            return [l.rstrip("\r\n") for l in f if l.strip()]
    except FileNotFoundError:
        return []


def _json_lines(path):
    return [json.loads(l) for l in _lines(path)]


def decode_value(type_number, hex_data):
    raw = bytes.fromhex(hex_data)
    if type_number in (1, 2):  # REG_SZ, REG_EXPAND_SZ
        text = raw.decode("utf-16-le", errors="replace")
        return text[:-1] if text.endswith("\0") else text
    if type_number == 4 and len(raw) == 4:
        return int.from_bytes(raw, "little")
    if type_number == 7:
        return [p for p in raw.decode("utf-16-le", errors="replace").split("\0") if p]
    return {"type": type_number, "hex": hex_data}


def load_registry(path):
    """keys: set of key paths; values: "key\\name" -> (type, decoded)."""
    keys, values = set(), {}
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                parts = line.rstrip("\n").split("\t")
                if parts[0] == "K" and len(parts) == 2:
                    keys.add(parts[1])
                elif parts[0] == "V" and len(parts) == 5:
                    name = parts[2] if parts[2] else "(default)"
                    values[parts[1] + "\\" + name] = (int(parts[3]), decode_value(int(parts[3]), parts[4]))
    except FileNotFoundError:
        return None
    return keys, values


class Run:
    def __init__(self, work, rc):
        self.work = work
        self.rc = rc
        path = os.path.join(work, "result.json")
        self.result = None
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                self.result = json.load(f)
        self.reports = _json_lines(os.path.join(work, "services", "reports.jsonl"))
        self.requests = _json_lines(os.path.join(work, "services", "requests.jsonl"))
        # squid's access log: "METHOD URL STATUS", one request a line.
        self.proxied = _lines(os.path.join(work, "proxy", "access.log"))
        self.urls = _lines(os.path.join(work, "urls.txt"))
        self.starts = _json_lines(os.path.join(work, "starts.jsonl"))
        self.reg_before = load_registry(os.path.join(work, "reg-before.txt"))
        self.reg_after = load_registry(os.path.join(work, "reg-after.txt"))
        # Around a session killed by a stop: the registry at the kill and as
        # the next session found it.
        self.reg_at_stop = load_registry(os.path.join(work, "reg-at-stop.txt"))
        self.reg_resumed = load_registry(os.path.join(work, "reg-resumed.txt"))

    def machine(self):
        return (self.result or {}).get("machine", {})

    def captured(self, windows_path):
        """The bytes of a file the run added or changed, or None."""
        for c in (self.result or {}).get("file_changes", []):
            if c["path"].lower() == windows_path.lower() and c.get("copy"):
                with open(os.path.join(self.work, c["copy"].replace("\\", "/")), "rb") as f:
                    return f.read()
        return None

    def log_files(self):
        temp = self.machine().get("temp", "")
        out = []
        for c in (self.result or {}).get("file_changes", []):
            name = c["path"][len(temp):] if c["path"].lower().startswith(temp.lower()) else ""
            if re.fullmatch(r"Installer\d{8}\.log", name) and c["kind"] != "removed":
                out.append(c["path"])
        return sorted(out)
