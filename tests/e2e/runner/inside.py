"""The part of a run inside the scenario's network and mount namespace
(netns-run.sh): volumes for the drives, the services, and the agent under
Wine; maps the drive letters once the agent says which prefix it runs in, and
kills the agent's whole Wine session when it asks for that."""
import json
import os
import signal
import subprocess
import time

SETUP_FAILED = 90


def _size_bytes(text):
    units = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30, "T": 1 << 40}
    text = str(text).strip().upper()
    if text and text[-1] in units:
        return int(float(text[:-1]) * units[text[-1]])
    return int(text)


def _run(cmd):
    r = subprocess.run(cmd, capture_output=True, text=True)
    if r.returncode != 0:
        raise RuntimeError(f"{' '.join(cmd)}: {r.stderr.strip() or r.returncode}")


def make_volume(work, letter, drive):
    """A folder standing for the drive: an ext4 volume (a fixed disk under
    Wine), a tmpfs (a RAM disk under Wine) or a plain folder; a volume with
    readonly refuses every write."""
    target = os.path.join(work, "vol", letter)
    os.makedirs(target, exist_ok=True)
    kind = drive["kind"]
    if kind == "fixed":
        image = os.path.join(work, "vol", letter + ".img")
        with open(image, "wb") as f:
            f.truncate(_size_bytes(drive.get("size", "1G")))
        # Sparse, few inodes, no journal: a huge volume costs a few megabytes.
        _run(["mkfs.ext4", "-q", "-F", "-m", "0", "-N", "1024", "-O", "^has_journal,^resize_inode",
              "-E", "lazy_itable_init=1,nodiscard", image])
        _run(["mount", "-o", "loop", image, target])
    elif kind == "tmpfs":
        _run(["mount", "-t", "tmpfs", "-o", f"size={drive.get('size', '1G')},mode=0777", "tmpfs", target])
    os.chmod(target, 0o777)
    if drive.get("readonly"):
        _run(["mount", "-o", "remount,ro", target])
    return target


def host_path(targets, windows):
    """The host path of D:\\a\\b on a scenario drive."""
    by_letter = {letter.upper(): target for letter, target in targets.items()}
    return os.path.join(by_letter[windows[0].upper()], *windows[3:].split("\\"))


class Quarantine:
    """Removes a file from outside once it has grown to a size, as an
    antivirus takes away a download it has judged."""

    def __init__(self, work, targets, wanted):
        self.work = work
        self.path = host_path(targets, wanted["path"]) if wanted else None
        self.size = wanted.get("size", 0) if wanted else 0
        self.windows = wanted.get("path") if wanted else None

    def poll(self):
        if self.path is None:
            return
        try:
            size = os.stat(self.path).st_size
        except OSError:
            return
        if size < self.size:
            return
        os.unlink(self.path)
        with open(os.path.join(self.work, "quarantined.txt"), "w", encoding="utf-8") as f:
            f.write(f"{self.windows} removed at {size} bytes\n")
        print(f"e2e: {self.windows} removed from outside at {size} bytes", flush=True)
        self.path = None


def _map_drives(prefix, targets):
    devices = os.path.join(prefix, "dosdevices")
    for letter, target in targets.items():
        link = os.path.join(devices, letter.lower() + ":")
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(target, link)


def _wine_processes(prefix):
    """(pid, is the server) of every Wine process of the prefix: programs
    under Wine and the wineserver, by their executables and environment."""
    found = []
    wanted = b"WINEPREFIX=" + os.fsencode(prefix)
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            exe = os.path.basename(os.readlink(f"/proc/{name}/exe"))
            with open(f"/proc/{name}/environ", "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if exe.startswith("wine") and wanted in environ:
            found.append((int(name), exe.startswith("wineserver")))
    return found


def kill_session(prefix):
    """SIGKILL to the prefix's wineserver, then to every other Wine process of
    it, as a power cut would end them: the server saves nothing more. Returns
    a line on what was killed."""
    procs = _wine_processes(prefix)
    for pid, _ in sorted(procs, key=lambda p: not p[1]):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline and any(os.path.exists(f"/proc/{p}") and
                                              _state(p) != "Z" for p, _ in procs):
        time.sleep(0.05)
    servers = sum(1 for _, s in procs if s)
    return f"the runner killed {len(procs)} Wine processes of the prefix ({servers} wineserver)"


def _state(pid):
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii", errors="replace") as f:
            return f.read().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return "Z"


def _serve_session_kill(work):
    request = os.path.join(work, "session-kill")
    if not os.path.exists(request):
        return
    with open(request, encoding="utf-8") as f:
        prefix = f.read().strip()
    note = kill_session(prefix)
    with open(os.path.join(work, "session-kill.txt"), "w", encoding="utf-8") as f:
        f.write(note + "\n")
    os.unlink(request)


def run_inside(work):
    with open(os.path.join(work, "stage.json"), encoding="utf-8") as f:
        stage = json.load(f)
    try:
        targets = {l: make_volume(work, l, d) for l, d in stage["drives"].items()}
    except (OSError, RuntimeError) as e:
        print(f"e2e: the drives could not be made: {e}", flush=True)
        return SETUP_FAILED
    proc = subprocess.Popen(stage["command"])
    prefix_file = os.path.join(work, "prefix.txt")
    mapped = not targets
    quarantine = Quarantine(work, targets, stage.get("quarantine"))
    while proc.poll() is None:
        quarantine.poll()
        if not mapped and os.path.exists(prefix_file):
            with open(prefix_file, encoding="utf-8") as f:
                _map_drives(f.read().strip(), targets)
            with open(os.path.join(work, "drives.ready"), "w") as f:
                f.write("ready\n")
            mapped = True
        _serve_session_kill(work)
        time.sleep(0.05)
    return proc.returncode
