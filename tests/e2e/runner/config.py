"""The build's facts a scenario needs: programs, host names, channel, folders.
CMake writes them into e2e-config.json in the Windows build tree."""
import json
import os


class Config:
    def __init__(self, path):
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        self.path = os.path.abspath(path)
        self.source_dir = data["source_dir"]
        self.build_dir = data["build_dir"]
        self.testenv = os.path.join(self.source_dir, "tools", "testenv")
        self.skin_dir = os.path.join(self.source_dir, "res", "skin")
        self.wine_root = data["wine_root"]
        self.installer = data["installer"]
        # The same executable signed as a release is, and the test CA of its certificate.
        self.signed_installer = data.get("signed_installer", "")
        self.signing_ca = data.get("signing_ca", "")
        self.agent = data["agent"]
        self.client_stub = data["client_stub"]
        self.client_package = data.get("client_package", "")
        # The client package and its broken variants (client-KIND.7z).
        self.client_folder = data.get("client_folder", os.path.dirname(self.client_package))
        self.url_recorder = data["url_recorder"]
        self.services = data["services"]
        self.hosts = data["hosts"]
        self.all_hosts = data["all_hosts"]
        self.channel = data["channel"]
        self.ca_bundle = data["ca_bundle"]
        self.channel_file = data["channel_file"]
        self.channel_ini = data["channel_ini"]
        self.work_root = os.path.join(self.build_dir, "e2e")
        self.screenshots = os.path.join(self.build_dir, "screenshots", "e2e")


def windows_path(unix_path):
    """The path as programs under Wine see it (drive Z: is the root)."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")
