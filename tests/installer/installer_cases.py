#!/usr/bin/env python3
"""The 64-bit installer under Wine, in a prefix of its own: a silent install, what it leaves (files,
values in the 64-bit view, the uninstall entry, shortcuts, running services), the installed viewer's
report, an upgrade over it, and a silent uninstall that keeps the service's Log folder.

Wine has no Misc driver: after the install the test points both services at machines/default
through their parameters keys (Wine's "sc config" cannot change a command line), as a developer
would, and restarts them; the installer itself never writes a snapshot setting. Without the driver
Watchpost ends at once, so it is seen running only on the snapshot.

usage: installer_cases.py --build BUILD_DIR --source SOURCE_DIR   (WINEPREFIX: a fresh prefix)
"""
import argparse
import glob
import os
import re
import subprocess
import sys
import tempfile
import time

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
APP_KEY = r"HKLM\Software\Mirelta\Quarro"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarro"
SERVICES = ("Watchpost", "Spindle")


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Case:
    def __init__(self, build, source):
        self.build = build
        self.source = source
        self.env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        self.prefix = os.environ["WINEPREFIX"]
        self.folder = os.path.join(self.prefix, "drive_c", "Program Files", "Mirelta", "Quarro")
        self.failures = []

    def check(self, name, condition, detail=""):
        print(("ok   %s" % name) if condition else ("FAIL %s %s" % (name, detail)))
        sys.stdout.flush()
        if not condition:
            self.failures.append(name)
        return condition

    def wine(self, *args, timeout=180, env=None):
        """Output goes to a file, not a pipe: a Wine process may start the wineserver or a service
        that inherits its handles and outlives it, and a pipe would stay open until they end."""
        with tempfile.TemporaryFile() as out:
            result = subprocess.run([WINE] + list(args), env=env or self.env, stdout=out, stderr=subprocess.STDOUT,
                                    stdin=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return result.returncode, out.read().decode("utf-8", "replace")

    def reg_values(self, key, view=None):
        rc, out = self.wine("reg", "query", key, *(["/reg:" + view] if view else []))
        if rc != 0:
            return None
        values = {}
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2] if len(parts) == 3 else ""
        return values

    def service_state(self, name):
        rc, out = self.wine("sc", "query", name)
        match = re.search(r"STATE\s+:\s+\d+\s+(\w+)", out)
        return match.group(1) if match else ("MISSING" if "1060" in out or rc != 0 else out.strip())

    def wait_state(self, name, wanted, timeout=30):
        end = time.time() + timeout
        while time.time() < end:
            state = self.service_state(name)
            if state == wanted:
                return state
            time.sleep(0.5)
        return self.service_state(name)

    def install(self, label):
        installer = os.path.join(self.build, "installer", "Quarro-Setup-x64.exe")
        rc, out = self.wine(installer, "/S", timeout=300)
        self.check("%s: the silent install ends with 0" % label, rc == 0, out[-400:])

    def shipped(self):
        return sorted(os.path.basename(p) for p in glob.glob(os.path.join(self.build, "installer", "stage", "*")))

    # ---- the cases ------------------------------------------------------------------------
    def installed(self, label):
        files = self.shipped()
        present = sorted(os.listdir(self.folder)) if os.path.isdir(self.folder) else []
        self.check("%s: every program and module is in Program Files\\Mirelta\\Quarro" % label,
                   all(f in present for f in files) and "Uninstall.exe" in present, repr(present))
        for name in ("Almanac.exe", "Watchpost.exe", "Spindle.exe", "Toolbench.exe", "Glance.exe"):
            self.check("%s: %s is shipped" % (label, name), name in files)
        self.check("%s: the nine tab modules are shipped" % label,
                   ["Facet%02d.dll" % n for n in range(1, 10)] == [f for f in files if f.startswith("Facet")],
                   repr(files))
        app = self.reg_values(APP_KEY, "32") or {}
        self.check("%s: Version and CopyrightYear in the 32-bit view the programs read" % label,
                   re.fullmatch(r"\d+\.\d+\.\d+\.\d+", app.get("Version", "")) and app.get("CopyrightYear") == "2026",
                   repr(app))
        entry = self.reg_values(UNINSTALL_KEY) or {}
        wanted = {"DisplayName": "Quarro", "Publisher": "Mirelta Corporation",
                  "InstallLocation": r"C:\Program Files\Mirelta\Quarro",
                  "QuietUninstallString": r'"C:\Program Files\Mirelta\Quarro\Uninstall.exe" /S'}
        self.check("%s: the uninstall entry" % label,
                   all(entry.get(k) == v for k, v in wanted.items()) and entry.get("DisplayVersion") == app.get("Version")
                   and int(entry.get("EstimatedSize", "0"), 0) > 0 and "UninstallString" in entry and "DisplayIcon" in entry,
                   repr(entry))
        menu = os.path.join(self.prefix, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                            "Quarro")
        self.check("%s: Start-menu shortcuts for the viewer and Glance" % label,
                   sorted(os.listdir(menu)) == ["Glance.lnk", "Quarro.lnk"] if os.path.isdir(menu) else False)
        self.check("%s: Watchpost is registered" % label, self.service_state("Watchpost") != "MISSING")
        self.check("%s: Spindle runs" % label, self.wait_state("Spindle", "RUNNING") == "RUNNING",
                   self.service_state("Spindle"))
        return app.get("Version", "")

    def version_resources(self, version):
        """Every shipped file carries the one version resource: company, product version and
        copyright, as the build made them (the strings of its StringFileInfo, in UTF-16)."""
        def field(data, key):
            at = data.find((key + "\0").encode("utf-16-le"))
            if at < 0:
                return None
            rest = data[at + 2 * (len(key) + 1):at + 2 * (len(key) + 1) + 200]
            rest = rest[2:] if rest[:2] == b"\0\0" else rest  # padding to a 32-bit boundary
            return rest.decode("utf-16-le", "replace").split("\0", 1)[0]
        for name in self.shipped():
            with open(os.path.join(self.build, "installer", "stage", name), "rb") as f:
                data = f.read()
            got = (field(data, "CompanyName"), field(data, "ProductVersion"), field(data, "LegalCopyright"))
            self.check("%s carries the product's version resource" % name,
                       got == ("Mirelta Corporation", version, "Copyright (C) 2026 Mirelta Corporation"), repr(got))

    def point_services_at_snapshot(self):
        machine = winpath(os.path.join(self.source, "machines", "default"))
        for name, value in (("Spindle", "MachineFolder"), ("Watchpost", "Machine")):
            self.wine("net", "stop", name, timeout=60)
            key = r"HKLM\SYSTEM\CurrentControlSet\Services\%s\Parameters" % name
            rc, out = self.wine("reg", "add", key, "/v", value, "/d", machine, "/f")
            self.check("%s takes the snapshot from its parameters key" % name, rc == 0, out)
            self.wine("sc", "start", name)
            self.check("%s runs on the snapshot" % name, self.wait_state(name, "RUNNING") == "RUNNING",
                       self.service_state(name))

    def power_on_entry(self):
        log = os.path.join(self.folder, "Log")
        end = time.time() + 30
        while time.time() < end and not glob.glob(os.path.join(log, "*")):
            time.sleep(0.5)
        files = glob.glob(os.path.join(log, "*"))
        self.check("Watchpost wrote its power-on entry in Log\\", len(files) == 1 and os.path.getsize(files[0]) > 0,
                   repr(files))

    def report(self, version):
        out_folder = os.path.join(self.prefix, "drive_c", "report")
        os.makedirs(out_folder, exist_ok=True)
        env = dict(self.env, QUARRO_MACHINE=winpath(os.path.join(self.source, "machines", "default")))
        rc, out = self.wine(os.path.join(self.folder, "Almanac.exe"), "/OUTPUTLOG", "/P:C:\\report", env=env,
                            timeout=300)
        path = os.path.join(out_folder, "Sysnote.txt")
        text = open(path, "rb").read().decode("cp1252", "replace") if os.path.exists(path) else ""
        self.check("the installed viewer writes its report", rc == 0 and text != "", out[-300:])
        self.check("the report's header shows the installed version", ("Quarro " + version) in text[:400],
                   repr(text[:200]))
        programs = text[text.find("[Version(Programs2)]"):]
        self.check("the Programs2 section lists Quarro", re.search(r"\r\n *\d+ : Quarro +", programs) is not None,
                   repr(programs[:600]))

    def upgrade(self, version):
        self.install("upgrade")
        entries = self.wine("reg", "query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall")[1]
        self.check("upgrade: one uninstall entry", entries.count("\\Uninstall\\Quarro\r\n") == 1 or
                   entries.count("\\Uninstall\\Quarro\n") == 1, entries)
        self.installed("upgrade")
        self.check("upgrade: Watchpost runs again on the snapshot", self.wait_state("Watchpost", "RUNNING") == "RUNNING",
                   self.service_state("Watchpost"))
        menu = glob.glob(os.path.join(self.prefix, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu",
                                      "Programs", "Quarro*"))
        self.check("upgrade: one Start-menu folder", len(menu) == 1, repr(menu))

    def uninstall(self):
        rc, out = self.wine(os.path.join(self.folder, "Uninstall.exe"), "/S", timeout=120)
        # The uninstaller runs from a copy of itself in the temporary folder; wait until it ends.
        try:
            subprocess.run([WINESERVER, "-w"], env=self.env, timeout=120)
        except subprocess.TimeoutExpired:
            pass
        for name in SERVICES:
            self.check("uninstall: %s is gone" % name, self.service_state(name) == "MISSING", self.service_state(name))
        left = sorted(os.listdir(self.folder)) if os.path.isdir(self.folder) else []
        self.check("uninstall: only Log\\ stays", left == ["Log"], repr(left))
        self.check("uninstall: the uninstall entry is gone", self.reg_values(UNINSTALL_KEY) is None)
        app = self.reg_values(APP_KEY, "32") or {}
        self.check("uninstall: Version and CopyrightYear are gone", "Version" not in app and "CopyrightYear" not in app,
                   repr(app))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    case = Case(os.path.abspath(args.build), os.path.abspath(args.source))
    try:
        case.install("install")
        version = case.installed("install")
        case.version_resources(version)
        case.point_services_at_snapshot()
        case.power_on_entry()
        case.report(version)
        case.upgrade(version)
        case.uninstall()
    finally:
        subprocess.run([WINESERVER, "-k"], env=case.env, capture_output=True)
    if case.failures:
        print("%d failed: %s" % (len(case.failures), ", ".join(case.failures)))
        return 1
    print("all installer checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
