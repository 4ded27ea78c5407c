#!/usr/bin/env python3
"""The harness's host side on its own: layouts, plans, report bodies and the
comparison, against synthetic runs whose differences are known."""
import json
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from runner import inside, reports, services  # noqa: E402
from runner.compare import compare  # noqa: E402
from runner.config import Config  # noqa: E402
from runner.layouts import LayoutError, control_centre  # noqa: E402
from runner.plan import build_plan  # noqa: E402
from runner.results import Run  # noqa: E402
from runner.scenario import Scenario, ScenarioError  # noqa: E402
from runner.shelllink import LinkError, read_link  # noqa: E402

SOURCE = os.path.dirname(os.path.dirname(HERE))
TEMP = "C:\\users\\u\\Temp\\"


def make_config(folder):
    data = {
        "source_dir": SOURCE, "build_dir": folder, "wine_root": folder,
        "installer": "/b/VeltoInstaller.exe", "agent": "/b/agent.exe", "client_stub": "/b/stub.exe",
        "url_recorder": "/b/rec.exe", "services": "/b/vorn-services",
        "hosts": {"client_version": "api.x", "report": "report.x", "cafe": "bar.x",
                  "agreement": "www.x", "green": "dl.x"},
        "all_hosts": "api.x report.x bar.x www.x dl.x", "channel": "vx_pc_000001",
        "ca_bundle": os.path.join(folder, "bundle.pem"),
        "channel_file": os.path.join(folder, "ZizUdir.dat"),
        "channel_ini": os.path.join(folder, "ZizUdir.ini"),
    }
    with open(os.path.join(folder, "bundle.pem"), "wb") as f:
        f.write(b"BUNDLE")
    with open(os.path.join(folder, "ZizUdir.dat"), "wb") as f:
        f.write(b"C" * 32)
    with open(os.path.join(folder, "ZizUdir.ini"), "wb") as f:
        f.write(b"[Public]\r\nchannel=vx_pc_000001\r\n")
    path = os.path.join(folder, "e2e-config.json")
    with open(path, "w") as f:
        json.dump(data, f)
    return Config(path)


def write_scenario(folder, text, name="sample"):
    path = os.path.join(folder, name + ".toml")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return Scenario(path)


SAMPLE = """
about = "sample"
[[step]]
click = "VXMessageBoxUI.okbtn"
[expect]
exit_code = 0
windows = ["CheckWndUI", "VXMessageBoxUI"]
reports = [[1, 1, 1, "check  environment"], [1, 0, 1, "check environment  failed"]]
urls = ["https://%GREEN_HOST%/pkg/velto/pc_noinstall.7z"]
log = ["[Error]| Get /pc/UpdateRequest Failed "]
[expect.registry]
'HKCU\\Software\\Corlanth\\Vorn\\installDir' = 'D:\\Vorn\\'
[expect.window.CheckWndUI]
min_open_ms = 2800
size = [800, 500]
centred = true
"""

RUN_ID = "0123abcd0000ef010000456789abcdef"


def report(body):
    return {"body": body, "body_json": json.loads(body), "sign_valid": True, "sign": "S",
            "headers": {"projectId": "NewVX", "businessId": "Install",
                        "Content-Type": "application/json"}}


class FakeRun:
    """The files a run leaves, written into a work folder, for Run to read."""

    def __init__(self, folder):
        self.folder = folder
        os.makedirs(os.path.join(folder, "services"), exist_ok=True)
        os.makedirs(os.path.join(folder, "captured"), exist_ok=True)
        self.result = {
            "completed": True, "snapshots": True,
            "machine": {"temp": TEMP, "profile": "C:\\users\\u", "date": "20240102",
                        "work_area": [0, 0, 1280, 800], "dpi": 96},
            "steps": [{"line": 1, "verb": "x", "args": [], "ok": True, "fatal": False,
                       "detail": "", "ms": 9000}],
            "instances": [{"name": "main", "pid": 1, "started_ms": 0, "ended": True,
                           "exit_code": 0, "ended_ms": 8000, "how": "exited"}],
            "windows": [
                {"instance": "main", "class": "CheckWndUI", "title": "t", "shown_ms": 100,
                 "hidden_ms": -1, "gone_ms": 3150, "first_rect": [0, 0, 800, 500],
                 "settled_rect": [240, 150, 1040, 650],
                 "last_rect": [240, 150, 1040, 650], "shot": "01.png"},
                {"instance": "main", "class": "tooltips_class32", "title": "", "shown_ms": 3000,
                 "hidden_ms": 3100, "gone_ms": -1, "first_rect": [0, 0, 1, 1], "settled_rect": [0, 0, 1, 1],
                 "last_rect": [0, 0, 1, 1], "shot": ""},
                {"instance": "main", "class": "VXMessageBoxUI", "title": "t", "shown_ms": 3200,
                 "hidden_ms": -1, "gone_ms": 7000, "first_rect": [391, 285, 889, 515],
                 "settled_rect": [391, 285, 889, 515],
                 "last_rect": [391, 285, 889, 515], "shot": "02.png"}],
            "children": [], "rects": {}, "texts": {}, "shots": {}, "file_changes": []}
        self.files = {}
        self.add_file(TEMP + "cacert.pem", b"BUNDLE")
        self.add_file(TEMP + "ZizUdir.dat", b"C" * 32)
        self.add_file(TEMP + "ZizUdir.ini", b"[Public]\r\nchannel=vx_pc_000001\r\n")
        self.add_file(TEMP + "Installer20240102.log",
                      "[10:00:00.001]|[0a4c]|[Error]| Get /pc/UpdateRequest Failed \r\n".encode("cp936"))
        self.reports = [
            reports.body({"b_guid": RUN_ID}, (1, 1, 1, "check  environment")),
            reports.body({"b_guid": RUN_ID, "b_channelid": "vx_pc_000001"},
                         (1, 0, 1, "check environment  failed"))]
        self.urls = ["https://dl.x/pkg/velto/pc_noinstall.7z"]
        self.requests = []
        self.registry = {"HKCU\\Software\\Corlanth\\Vorn": {"installDir": "D:\\Vorn\\"}}
        self.at_stop = self.resumed = None  # around a session killed by a stop

    def add_file(self, path, data):
        n = len(self.files) + 1
        with open(os.path.join(self.folder, "captured", f"{n}.bin"), "wb") as f:
            f.write(data)
        self.result["file_changes"].append({"path": path, "kind": "added", "folder": False,
                                            "size": len(data), "copy": f"captured\\{n}.bin"})
        self.files[path] = data

    def _registry_dump(self, name, values):
        with open(os.path.join(self.folder, name), "w", encoding="utf-8") as f:
            f.write("K\tHKCU\nK\tHKCU\\Software\n")
            for key, entries in values.items():
                f.write(f"K\t{key}\n")
                for value_name, text in entries.items():
                    data = (text + "\0").encode("utf-16-le").hex()
                    f.write(f"V\t{key}\t{value_name}\t1\t{data}\n")

    def load(self):
        with open(os.path.join(self.folder, "result.json"), "w", encoding="utf-8") as f:
            json.dump(self.result, f)
        with open(os.path.join(self.folder, "services", "reports.jsonl"), "w") as f:
            for b in self.reports:
                f.write(json.dumps(report(b)) + "\n")
        with open(os.path.join(self.folder, "services", "requests.jsonl"), "w") as f:
            for scheme, path in self.requests:
                f.write(json.dumps({"scheme": scheme, "method": "GET", "path": path}) + "\n")
        with open(os.path.join(self.folder, "urls.txt"), "w") as f:
            f.write("".join(u + "\n" for u in self.urls))
        self._registry_dump("reg-before.txt", {})
        self._registry_dump("reg-after.txt", self.registry)
        if self.at_stop is not None:
            self._registry_dump("reg-at-stop.txt", self.at_stop)
            self._registry_dump("reg-resumed.txt", self.resumed)
        return Run(self.folder, 0)


class Base(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.cfg = make_config(self.dir)
        self.sc = write_scenario(self.dir, SAMPLE)
        self.fake = FakeRun(os.path.join(self.dir, "work"))

    def tearDown(self):
        self.tmp.cleanup()

    def differences(self):
        plan = build_plan(self.cfg, self.sc, os.path.join(self.dir, "work"))
        return [f"[{s}] {t}" for s, t in compare(self.cfg, self.sc, self.fake.load(), plan).items]


class Layouts(unittest.TestCase):
    def test_centres_come_from_the_layouts(self):
        skin = os.path.join(SOURCE, "res", "skin")
        self.assertEqual(control_centre(skin, "VXMessageBoxUI", "okbtn"), (162, 166))
        self.assertEqual(control_centre(skin, "InstallWndUI", "install"), (400, 417))
        self.assertEqual(control_centre(skin, "MessageInfoBoxUI", "label"), (254, 92))

    def test_unknown_control_or_class_is_an_error(self):
        skin = os.path.join(SOURCE, "res", "skin")
        with self.assertRaises(LayoutError):
            control_centre(skin, "VXMessageBoxUI", "nosuch")
        with self.assertRaises(LayoutError):
            control_centre(skin, "#32770", "okbtn")


class ReportBodies(unittest.TestCase):
    def test_members_in_order_without_white_space(self):
        self.assertEqual(
            reports.body({"b_guid": "g", "b_channelid": "c"}, (3, 1, 5, "click to installBtn")),
            '{"b_guid":"g","b_channelid":"c","b_mac":"","b_icafe_guid":"","b_charge_type":"",'
            '"b_charge_id":"","b_manage_type":"","b_manage_id":"","event_type":3,"event_ret":1,'
            '"event_from":5,"event_msg":"click to installBtn"}')

    def test_escapes_as_the_json_printer(self):
        self.assertEqual(reports.quote('a"b\\c\td\x01é'), '"a\\"b\\\\c\\td\\u0001é"')

    def test_only_the_first_report_lacks_channel_and_cafe(self):
        with tempfile.TemporaryDirectory() as d:
            cfg = make_config(d)
            sc = write_scenario(d, 'about = "x"\n[services]\ncafe = { guid = "g1", '
                                   'bar_manage = { manage_id = "7" } }\n')
            bodies = reports.expected_bodies(
                cfg, sc, [[1, 1, 1, "check  environment"], [2, 1, 1, "Install Page Init"]], "R", "")
        first, second = (json.loads(b) for b in bodies)
        self.assertEqual((first["b_channelid"], first["b_icafe_guid"]), ("", ""))
        self.assertEqual((second["b_channelid"], second["b_icafe_guid"], second["b_manage_id"]),
                         ("vx_pc_000001", "g1", "7"))

    def test_fields_as_the_services_read_them_in_the_code_page(self):
        # The cafe value goes out as its UTF-8 bytes, the channel in 936; the
        # services read both in the run's ANSI code page.
        for codepage, cafe, channel in ((None, "网吧", "渠道"), (65001, "网吧", "\ufffd" * 4),
                                        (1252, "ç½‘å\x90§", "Çþµ\xc0"), (936, "缃戝惂", "渠道")):
            fields = json.loads(reports.body({"b_icafe_guid": "网吧", "b_channelid": "渠道"},
                                             (1, 1, 1, "m"), codepage))
            self.assertEqual((fields["b_icafe_guid"], fields["b_channelid"]), (cafe, channel),
                             codepage)


class ServicesData(unittest.TestCase):
    def test_entry_values_name_the_builds_hosts(self):
        with tempfile.TemporaryDirectory() as d:
            cfg = make_config(d)
            sc = write_scenario(d, 'about = "x"\n[services]\nentry = { downloadUrl = '
                                   '"%GREEN_HOST%/a%NO_HOST%", crc = "1" }\n')
            services.prepare(cfg, sc, os.path.join(d, "data"))
            with open(os.path.join(d, "data", "catalogue.json")) as f:
                entry = json.load(f)["channels"]["vx_pc_000001"]
        self.assertEqual(entry["downloadUrl"], "dl.x/a%NO_HOST%")
        self.assertEqual((entry["crc"], entry["package"]), ("1", "pkg/velto/client.7z"))


class Scenarios(unittest.TestCase):
    def test_unknown_keys_and_missing_about_are_refused(self):
        with tempfile.TemporaryDirectory() as d:
            with self.assertRaises(ScenarioError):
                write_scenario(d, 'about = "x"\n[expect]\nwindow_list = []\n')
            with self.assertRaises(ScenarioError):
                write_scenario(d, '[expect]\nexit_code = 0\n')
            with self.assertRaises(ScenarioError):  # a locale needs the code page it gives
                write_scenario(d, 'about = "x"\n[machine]\nlocale = "hi_IN.UTF-8"\n')
            with self.assertRaises(ScenarioError):
                write_scenario(d, 'about = "x"\n[[step]]\nclick = "A.b"\nwait = "A"\n')
            with self.assertRaises(ScenarioError):
                write_scenario(d, 'about = "x"\n[expect.requests]\n"/p" = "https"\n')
            with self.assertRaises(ScenarioError):  # only a volume can refuse writes
                write_scenario(d, 'about = "x"\n[machine.drives]\n'
                                  'F = { kind = "folder", readonly = true }\n')
            with self.assertRaises(ScenarioError):  # quarantined files lie on a scenario drive
                write_scenario(d, 'about = "x"\n[machine.quarantine]\n'
                                  'path = \'C:\\a\\tmpClient\'\nsize = 1\n')

    def test_quarantine_removes_the_file_once_it_has_grown(self):
        with tempfile.TemporaryDirectory() as d:
            os.makedirs(os.path.join(d, "D", "Vorn"))
            target = os.path.join(d, "D", "Vorn", "tmpClient")
            q = inside.Quarantine(d, {"D": os.path.join(d, "D")},
                                  {"path": "D:\\Vorn\\tmpClient", "size": 10})
            q.poll()  # not there yet
            with open(target, "wb") as f:
                f.write(b"x" * 9)
            q.poll()
            self.assertTrue(os.path.exists(target))
            with open(target, "ab") as f:
                f.write(b"x")
            q.poll()
            self.assertFalse(os.path.exists(target))
            with open(target, "wb") as f:  # once only: a new download stays
                f.write(b"x" * 20)
            q.poll()
            self.assertTrue(os.path.exists(target))

    def test_every_window_action_waits_for_its_window_and_the_run_ends_with_an_exit(self):
        with tempfile.TemporaryDirectory() as d:
            cfg = make_config(d)
            sc = write_scenario(d, SAMPLE)
            plan = build_plan(cfg, sc, d)
        verbs = [line.split("\t")[:2] for line in plan.lines]
        i = verbs.index(["launch", "main"])
        self.assertEqual(verbs[i + 1:], [["wait", "VXMessageBoxUI"], ["click", "VXMessageBoxUI"],
                                         ["exit", "main"], ["after"]])
        self.assertEqual(plan.lines[i + 2].split("\t")[2:], ["162", "166"])
        self.assertLess(verbs.index(["before"]), i)

    def test_points_are_scaled_to_the_display(self):
        # At 150 % the ok button's 90,144..234,188 lies at 135,216..351,282.
        for dpi, centre, at in ((144, ["243", "249"], ["15", "30"]),
                                (120, ["203", "207"], ["13", "25"]),
                                (250, None, None)):
            text = SAMPLE.replace('about = "sample"\n', f'about = "sample"\n[machine]\ndpi = {dpi}\n')
            text += '[[step]]\nclick = "VXMessageBoxUI"\nat = [10, 20]\n'
            with tempfile.TemporaryDirectory() as d:
                if centre is None:
                    with self.assertRaises(ScenarioError):
                        write_scenario(d, text)
                    continue
                plan = build_plan(make_config(d), write_scenario(d, text), d)
            clicks = [line.split("\t")[2:] for line in plan.lines if line.startswith("click\t")]
            self.assertEqual(clicks, [centre, at], dpi)

    def test_launch_starts_a_named_program_in_its_own_folder(self):
        with tempfile.TemporaryDirectory() as d:
            cfg = make_config(d)
            sc = write_scenario(d, 'about = "x"\n[[step]]\nlaunch = "uninst"\n'
                                   'program = \'D:\\Vorn\\Uninstaller.exe\'\nargs = "/S"\n'
                                   '[[step]]\nexit = "uninst"\nwithin = 5000\n'
                                   '[[step]]\nlaunch = "second"\n')
            plan = build_plan(cfg, sc, d)
        launches = [line.split("\t")[1:] for line in plan.lines if line.startswith("launch\t")]
        self.assertEqual(launches[1], ["uninst", "D:\\Vorn\\Uninstaller.exe", "D:\\Vorn", "/S"])
        self.assertEqual(launches[2][1:3], ["%USERPROFILE%\\Downloads\\VeltoInstaller.exe",
                                            "%USERPROFILE%\\Downloads"])
        self.assertIn("exit\tuninst\t5000", plan.lines)
        self.assertIn("exit\tsecond\t60000", plan.lines)

    def test_a_stop_ends_its_program_and_the_road_branches(self):
        text = ('about = "x"\n[[step]]\nstop = "session"\nnear = [{ window = "ProcessWndUI" }]\n'
                'when = [{ file = \'D:\\V\\tmpClient\', size = 100 }, { no_registry = '
                '\'HKCU\\Software\\V\\Version\' }]\nmissed = [{ log = "Extracted " }]\n'
                '[[step]]\nlaunch = "again"\n[[step]]\nbranch = ["InstallWndUI", "StartUpdateWndUI"]\n'
                '[[step]]\nclick = "StartUpdateWndUI.start"\non = "StartUpdateWndUI"\n')
        with tempfile.TemporaryDirectory() as d:
            plan = build_plan(make_config(d), write_scenario(d, text), d)
            # what a stop looks at is checked before the run
            for bad in ('stop = "power"', 'stop = "process"\nwhen = [{ file = "a", log = "b" }]',
                        'stop = "process"\nwhen = [{ log = "b", size = 3 }]',
                        'wait = "A"\nwhen = [{ log = "b" }]', 'launch = "x"\non = "A"'):
                with self.assertRaises(ScenarioError, msg=bad):
                    write_scenario(d, f'about = "x"\n[[step]]\n{bad}\n')
            with self.assertRaises(ScenarioError):
                build_plan(make_config(d), write_scenario(
                    d, 'about = "x"\n[[step]]\nset_registry = \'HKCU\\Value\'\n'), d)
        lines = [line.split("\t") for line in plan.lines]
        verbs = [line[0] for line in lines]
        # A session that a stop kills starts from a registry its server saved.
        self.assertLess(verbs.index("restart"), verbs.index("before"))
        stop = lines[verbs.index("stop")]
        self.assertEqual(stop[1:], ["main", "session", "60000", "10",
                                    "near", "window", "ProcessWndUI", "0",
                                    "when", "file", "D:\\V\\tmpClient", "100",
                                    "when", "no-registry", "HKCU\\Software\\V\\Version", "0",
                                    "missed", "log", "Extracted ", "0"])
        self.assertEqual(lines[verbs.index("branch")][1:], ["20000", "InstallWndUI",
                                                           "StartUpdateWndUI"])
        self.assertEqual([line[:3] for line in lines if line[0] == "on"],
                         [["on", "StartUpdateWndUI", "wait"], ["on", "StartUpdateWndUI", "click"]])
        # "main" ended at the stop; only "again" is waited for.
        self.assertEqual([line[1] for line in lines if line[0] == "exit"], ["again"])

    def test_program_needs_a_launch_and_a_full_path(self):
        with tempfile.TemporaryDirectory() as d:
            with self.assertRaises(ScenarioError):
                write_scenario(d, 'about = "x"\n[[step]]\nexit = "u"\nprogram = \'C:\\u.exe\'\n')
            sc = write_scenario(d, 'about = "x"\n[[step]]\nlaunch = "u"\nprogram = "u.exe"\n')
            with self.assertRaises(ScenarioError):
                build_plan(make_config(d), sc, d)


def shell_link(target, folder, id_list=b"\x10\x00" + b"\x00" * 16):
    """A link as Wine saves one: item list, link information with the local
    path, then the working folder counted with its NUL."""
    import struct
    path = (target if isinstance(target, bytes) else target.encode("ascii")) + b"\0"
    info = struct.pack("<7I", 0x1C + len(path) + 1, 0x1C, 1, 0, 0x1C, 0, 0x1C + len(path)) + path + b"\0"
    text = (folder + "\0").encode("utf-16-le")
    header = struct.pack("<I16sI", 0x4C, b"\x01" * 16, 0x1 | 0x2 | 0x10 | 0x80) + b"\0" * 52
    return header + id_list + info + struct.pack("<H", len(folder) + 1) + text


class ShellLinks(unittest.TestCase):
    def test_target_and_working_folder(self):
        link = read_link(shell_link("D:\\Games\\Velto\\vorn.exe", "D:\\Games\\Velto\\"))
        self.assertEqual(link["target"], "D:\\Games\\Velto\\vorn.exe")
        self.assertEqual(link["working_folder"], "D:\\Games\\Velto\\")

    def test_local_path_in_the_ansi_code_page(self):
        # Wine writes the local path in the ANSI code page only.
        for raw, ansi, target in ((b"D:\\\xe6\xb8\xb8\xe6\x88\x8f\\v.exe", "utf-8", "D:\\游戏\\v.exe"),
                                  (b"D:\\\xd3\xce\xcf\xb7\\v.exe", "gbk", "D:\\游戏\\v.exe"),
                                  (b"D:\\??\\v.exe", "cp1252", "D:\\??\\v.exe")):
            link = read_link(shell_link(raw, "D:\\"), ansi)
            self.assertEqual((link["target"], link["target_ansi"]), (target, raw))

    def test_not_a_link_or_cut_short(self):
        for data in (b"", b"text file", shell_link("C:\\a.exe", "C:\\")[:-6]):
            with self.assertRaises(LinkError):
                read_link(data)


class Packages(unittest.TestCase):
    """services.package picks the built client package or one of its variants."""

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.cfg = make_config(self.dir)
        self.cfg.client_folder = os.path.join(self.dir, "client")
        os.makedirs(self.cfg.client_folder)
        for name in ("client", "client-badcrc"):
            with open(os.path.join(self.cfg.client_folder, name + ".7z"), "wb") as f:
                f.write(name.encode())

    def tearDown(self):
        self.tmp.cleanup()

    def served(self, package):
        sc = write_scenario(self.dir, f'about = "x"\n[services]\npackage = "{package}"\n')
        folder = os.path.join(self.dir, "services")
        services.prepare(self.cfg, sc, folder)
        with open(os.path.join(folder, "files", "pkg", "velto", "client.7z"), "rb") as f:
            return f.read()

    def test_the_named_package_is_served(self):
        self.assertEqual(self.served("client"), b"client")
        self.assertEqual(self.served("client-badcrc"), b"client-badcrc")

    def test_unknown_or_odd_names_are_refused(self):
        for name in ("client-cut", "../client", "client-../x", "other"):
            with self.assertRaises(ScenarioError, msg=name):
                self.served(name)


class Comparison(Base):
    def test_a_run_as_expected_has_no_differences(self):
        self.assertEqual(self.differences(), [])

    def test_window_order_and_minimum_time(self):
        w = self.fake.result["windows"]
        w[0]["gone_ms"] = 900
        w[2]["class"] = "InstallWndUI"
        found = "\n".join(self.differences())
        self.assertIn("CheckWndUI: open for 800 ms, expected at least 2800", found)
        self.assertIn("- VXMessageBoxUI", found)
        self.assertIn("+ InstallWndUI", found)

    def test_report_body_channel_and_signature(self):
        self.fake.reports[1] = self.fake.reports[1].replace("vx_pc_000001", "")
        found = "\n".join(self.differences())
        self.assertIn('- {"b_guid":"' + RUN_ID + '","b_channelid":"vx_pc_000001"', found)
        self.assertIn('+ {"b_guid":"' + RUN_ID + '","b_channelid":""', found)

    def test_a_second_run_has_its_own_identifier_and_starts_without_channel(self):
        other = "fedc98760000ba980000765432100123"
        self.sc = write_scenario(self.dir, SAMPLE.replace(
            'reports = [[1, 1, 1, "check  environment"], [1, 0, 1, "check environment  failed"]]',
            'reports = [[1, 1, 1, "check  environment"], [1, 0, 1, "check environment  failed"],\n'
            '  { event = [1, 1, 1, "check  environment"], new_run = true }, [5, 1, 8, "Install Cancel"]]'))
        self.fake.reports += [
            reports.body({"b_guid": other}, (1, 1, 1, "check  environment")),
            reports.body({"b_guid": other, "b_channelid": "vx_pc_000001"}, (5, 1, 8, "Install Cancel"))]
        self.assertEqual(self.differences(), [])
        self.fake.reports[2:] = [b.replace(other, RUN_ID) for b in self.fake.reports[2:]]
        self.assertIn("[reports] report 3 begins another run, but carries the identifier "
                      f"{RUN_ID} of an earlier one", self.differences())

    def test_run_identifier_must_look_like_one(self):
        self.fake.reports = [b.replace(RUN_ID, "X" * 32) for b in self.fake.reports]
        self.assertTrue(any("is not a run identifier" in d for d in self.differences()))

    def test_unexpected_and_wrong_registry_values(self):
        self.fake.registry = {"HKCU\\Software\\Corlanth\\Vorn": {"installDir": "D:\\Vorn",
                                                               "Version": "1"}}
        found = self.differences()
        self.assertIn("[registry] HKCU\\Software\\Corlanth\\Vorn\\installDir = 'D:\\\\Vorn', "
                      "expected 'D:\\\\Vorn\\\\'", found)
        self.assertIn("[registry] unexpected value HKCU\\Software\\Corlanth\\Vorn\\Version = '1'",
                      found)

    def test_file_contents_and_unexpected_files(self):
        self.fake.result["file_changes"][1]["copy"] = "captured\\1.bin"  # the bundle's bytes
        self.fake.add_file("C:\\stray.txt", b"x")
        found = self.differences()
        self.assertIn("[files] unexpected: C:\\stray.txt added (file of 1 bytes)", found)
        self.assertTrue(any(d.startswith("[files] " + TEMP + "ZizUdir.dat: content differs")
                            for d in found))

    def test_a_folder_holds_exactly_a_host_tree(self):
        tree = os.path.join(self.dir, "stage")
        os.makedirs(os.path.join(tree, "bin"))
        for rel, data in (("a.exe", b"A"), ("bin/b.dat", b"B"), ("bin/c.dat", b"C")):
            with open(os.path.join(tree, rel), "wb") as f:
                f.write(data)
        self.sc.expect["files"] = {"D:\\V": {"tree": tree}}
        for path, kind, folder in (("D:\\V", "added", True), ("D:\\V\\bin", "added", True)):
            self.fake.result["file_changes"].append(
                {"path": path, "kind": kind, "folder": folder, "size": 0, "copy": ""})
        self.fake.add_file("D:\\V\\a.exe", b"A")
        self.fake.add_file("D:\\V\\bin\\b.dat", b"X")
        self.fake.add_file("D:\\V\\bin\\extra.dat", b"E")
        found = self.differences()
        self.assertTrue(any(d.startswith("[files] D:\\V\\bin\\b.dat: content differs") for d in found))
        self.assertIn("[files] unexpected: D:\\V\\bin\\extra.dat added (file of 1 bytes)", found)
        self.assertIn("[files] expected D:\\V\\bin\\c.dat to be written, but the run left it as it was",
                      found)
        self.assertEqual(len([d for d in found if "D:\\V\\a.exe" in d]), 0)

    def test_a_file_compared_with_the_served_package(self):
        self.sc = write_scenario(self.dir, SAMPLE + "[expect.files]\n"
                                 "'D:\\Vorn\\tmpClient' = { same_as = \"%PACKAGE%\" }\n")
        package = os.path.join(self.fake.folder, "services", "files", "pkg", "velto")
        os.makedirs(package)
        with open(os.path.join(package, "client.7z"), "wb") as f:
            f.write(b"7z package")
        self.fake.add_file("D:\\Vorn\\tmpClient", b"7z package")
        self.assertEqual(self.differences(), [])
        self.fake.result["file_changes"][-1]["copy"] = "captured\\1.bin"
        self.assertTrue(any(d.startswith("[files] D:\\Vorn\\tmpClient: content differs from ")
                            and d.endswith("client.7z (6 bytes against 10)") for d in self.differences()))

    def test_shortcut_target_and_folder(self):
        self.sc = write_scenario(self.dir, SAMPLE + "[expect.files]\n"
                                 "'C:\\a.lnk' = { link = 'D:\\Vorn\\vorn.exe', link_cwd = 'D:\\Vorn\\' }\n"
                                 "'C:\\b.lnk' = { link = 'D:\\Vorn\\vorn.exe' }\n")
        self.fake.add_file("C:\\a.lnk", shell_link("D:\\Vorn\\vorn.exe", "D:\\Vorn\\"))
        self.fake.add_file("C:\\b.lnk", shell_link("C:\\Old\\vorn.exe", "C:\\Old\\"))
        self.assertEqual(self.differences(),
                         ["[files] C:\\b.lnk: link target 'C:\\\\Old\\\\vorn.exe', "
                          "expected 'D:\\\\Vorn\\\\vorn.exe'"])

    def test_log_line_missing_and_exit_code(self):
        self.fake.result["file_changes"][3]["copy"] = "captured\\1.bin"  # no log lines
        self.fake.result["instances"][0]["exit_code"] = 1
        found = "\n".join(self.differences())
        self.assertIn("missing line: '[Error]| Get /pc/UpdateRequest Failed '", found)
        self.assertIn("main: expected exit code 0, got 1 (exited)", found)

    def test_browser_addresses_and_failed_steps(self):
        self.fake.urls = []
        self.fake.result["steps"][0].update(ok=False, detail="no window")
        found = "\n".join(self.differences())
        self.assertIn("- https://dl.x/pkg/velto/pc_noinstall.7z", found)
        self.assertIn("no window", found)

    def test_requests_by_path_and_scheme(self):
        self.sc = write_scenario(self.dir, SAMPLE + "[expect.requests]\n"
                                 "'/pkg/c.7z' = [\"https\", \"http\"]\n'/other' = []\n")
        self.fake.requests = [("https", "/pkg/c.7z"), ("https", "/api"), ("http", "/pkg/c.7z")]
        self.assertEqual(self.differences(), [])
        self.fake.requests = [("http", "/pkg/c.7z"), ("https", "/other")]
        found = self.differences()
        self.assertIn("[requests] /pkg/c.7z: requested over ['http'], expected over "
                      "['https', 'http']", found)
        self.assertIn("[requests] /other: requested over ['https'], expected over []", found)

    def test_values_a_killed_session_lost(self):
        self.sc = write_scenario(self.dir, SAMPLE.replace(
            "exit_code = 0", "exit_code = 0\nlost_registry = ['HKCU\\Software\\T\\Lost']"))
        self.assertIn("[registry] expected values lost by a session kill, but no session was "
                      "killed", self.differences())
        self.fake.at_stop = {"HKCU\\Software\\T": {"Lost": "x", "Kept": "y"}}
        self.fake.resumed = {"HKCU\\Software\\T": {"Kept": "y"}}
        self.assertEqual(self.differences(), [])
        self.fake.resumed = {"HKCU\\Software\\T": {"Lost": "x", "Kept": "z"}}
        found = "\n".join(self.differences())
        self.assertIn("- HKCU\\Software\\T\\Lost", found)
        self.assertIn("+ HKCU\\Software\\T\\Kept", found)

    def test_a_signed_run_starts_the_signed_copy_and_checks_it_afterwards(self):
        signed = os.path.join(self.dir, "signed.exe")
        with open(signed, "wb") as f:
            f.write(b"MZ signed")
        self.cfg.signed_installer, self.cfg.signing_ca = signed, os.path.join(self.dir, "ca.pem")
        self.sc = write_scenario(self.dir, SAMPLE.replace("[expect]\n", "[machine]\n"
                                                          "installer = \"signed\"\n[expect]\n"))
        lines = build_plan(self.cfg, self.sc, os.path.join(self.dir, "work")).lines
        self.assertIn(f"copy\tZ:{signed.replace('/', chr(92))}\t%USERPROFILE%\\Downloads\\"
                      "VeltoInstaller.exe", lines)
        self.assertTrue(lines[-1].startswith("copy\t%USERPROFILE%\\Downloads\\VeltoInstaller.exe\t"))
        self.assertIn("[signature] the copy that ran was not kept (the run did not get that far)",
                      self.differences())
        os.makedirs(os.path.join(self.dir, "work"), exist_ok=True)
        with open(os.path.join(self.dir, "work", "installer-that-ran.exe"), "wb") as f:
            f.write(b"MZ changed")
        found = "\n".join(self.differences())
        self.assertIn(f"the copy that ran differs from {signed}", found)
        self.assertIn("the copy that ran does not verify", found)
        with self.assertRaises(ScenarioError):  # the trusted CA is written into the copy
            write_scenario(self.dir, 'about = "x"\n[machine]\ninstaller = "signed"\n'
                                     'trust_test_ca = true\n')

    def test_started_processes_only_when_expected(self):
        self.fake.result["children"] = [{"parent": "main", "name": "vorn.exe", "ms": 9000},
                                         {"parent": "second", "name": "vorn.exe", "ms": 9100}]
        self.assertEqual(self.differences(), [])  # not part of the sample's expectations
        self.sc = write_scenario(self.dir, SAMPLE.replace("exit_code = 0", "exit_code = 0\n"
                                                          "children = [\"vorn.exe\"]"))
        found = "\n".join(self.differences())
        self.assertIn("+ second:vorn.exe", found)
        self.fake.result["children"] = []
        found = "\n".join(self.differences())
        self.assertIn("- vorn.exe", found)


if __name__ == "__main__":
    unittest.main()
