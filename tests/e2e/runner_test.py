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

from runner import reports, services  # noqa: E402
from runner.compare import compare  # noqa: E402
from runner.config import Config  # noqa: E402
from runner.layouts import LayoutError, control_centre  # noqa: E402
from runner.plan import build_plan  # noqa: E402
from runner.results import Run  # noqa: E402
from runner.scenario import Scenario, ScenarioError  # noqa: E402

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
                        "work_area": [0, 0, 1280, 800]},
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
            with self.assertRaises(ScenarioError):
                write_scenario(d, 'about = "x"\n[[step]]\nclick = "A.b"\nwait = "A"\n')
            with self.assertRaises(ScenarioError):
                write_scenario(d, 'about = "x"\n[expect.requests]\n"/p" = "https"\n')

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
