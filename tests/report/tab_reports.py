#!/usr/bin/env python3
"""Report sections of the tab modules, written by the real viewer with the real modules: natively
(build/host) or under Wine (build/win64).

The modules are the ones the build made: every Facet*.dll (Wine) or libFacet*.so (native) in the
build's bin/. Each has its expected sections in tests/expected/<module>_<layout>.txt (lower-case
module name; layouts fixed, tab, comma); the first line of the fixed one is the section head that
finds the module's section in a report. A new module needs its expected files, nothing here.

- machines/default in the fixed, tab and comma layouts, byte for byte against tests/expected/.
  Under Wine the snapshot's registry.reg is imported into the prefix first (after
  tests/report/tabs_clean.reg has removed programs other runs may have left there).
- tests/machines/tabs-real, a snapshot without a device list and without a hotfix list: under
  Wine the Drivers tab walks Wine's own devices through SetupAPI and Programs1 asks Wine's WMI.
  The list sections there must be well formed, and Wine's hotfix must be in Programs1.

usage: tab_reports.py --mode native|wine --build BUILD_DIR --source SOURCE_DIR [--write-expected]
--write-expected rewrites the expected files from this run (review the difference before
committing it).
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

RULE = b"-" * 119
LAYOUTS = [("fixed", []), ("tab", ["/S:0"]), ("comma", ["/S:1"])]
# Wine's WMI answers Win32_QuickFixEngineering with this one update.
WINE_HOTFIX = b"KB1234567"


def expected_path(source, module, layout):
    return os.path.join(source, "tests", "expected", "%s_%s.txt" % (module.lower(), layout))


def find_modules(mode, build, source):
    """[(module, section head)] of the modules in the build's bin/, in load order. A module
    without an expected fixed-layout section has the head None."""
    pattern = "Facet[0-9][0-9].dll" if mode == "wine" else "libFacet[0-9][0-9].so"
    modules = []
    for path in sorted(glob.glob(os.path.join(build, "bin", pattern))):
        name = os.path.basename(path)
        module = name[3:-3] if mode == "native" else name[:-4]
        head = None
        fixed = expected_path(source, module, "fixed")
        if os.path.exists(fixed):
            with open(fixed, "rb") as f:
                head = f.read().split(b"\r\n", 1)[0]
        modules.append((module, head))
    return modules


class Runner:
    def __init__(self, mode, build, source):
        self.mode = mode
        self.build = build
        self.source = source
        self.work = tempfile.mkdtemp(prefix="tab-reports-", dir=build)
        self.failures = []
        self.modules = find_modules(mode, build, source)

    def check(self, name, condition, detail=""):
        print(("ok   %s" % name) if condition else ("FAIL %s %s" % (name, detail)))
        if not condition:
            self.failures.append(name)

    def layout(self, case):
        """A folder with the viewer and the modules, as they are installed."""
        app = os.path.join(self.work, case, "app")
        os.makedirs(app)
        if self.mode == "wine":
            program = "Almanac.exe"
            files = [program] + [m + ".dll" for m, _ in self.modules]
        else:
            program = "Almanac"
            files = [program] + ["lib%s.so" % m for m, _ in self.modules]
        for name in files:
            shutil.copy2(os.path.join(self.build, "bin", name), os.path.join(app, name))
        return os.path.join(app, program)

    def winpath(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def report(self, case, machine_dir, switches, regs=()):
        """Runs the report into a folder of its own and returns the file's bytes (None: no file)."""
        program = self.layout(case)
        out = os.path.join(self.work, case, "out")
        os.makedirs(out)
        env = dict(os.environ)
        if self.mode == "native":
            env["QUARRO_MACHINE"] = machine_dir
            env["QUARRO_DOCUMENTS"] = out
            env["TZ"] = "UTC"  # the first logon time is local time
            command = [program, "/OUTPUTLOG"] + switches + ["/P:" + out]  # "/P:" takes the rest of the line
        else:
            command = ["bash", os.path.join(self.source, "tests", "wine", "winetest.sh"), "run", "--winver", "win7"]
            for reg in regs:
                command += ["--reg", reg]
            command += ["--machine", machine_dir, "--", program, "/OUTPUTLOG"] + switches + ["/P:" + self.winpath(out)]
        result = subprocess.run(command, env=env, capture_output=True, timeout=180)
        path = os.path.join(out, "Sysnote.txt")
        if not os.path.exists(path):
            print(result.stdout.decode(errors="replace"), result.stderr.decode(errors="replace"))
            return None
        with open(path, "rb") as f:
            return f.read()


def sections(report, modules):
    """The modules' sections of a report (None for a missing one)."""
    found = {}
    starts = []
    for module, head in modules:
        at = report.find(head + b"\r\n") if head else -1
        found[module] = at
        if at >= 0:
            starts.append(at)
    starts.sort()
    out = {}
    for module, _ in modules:
        at = found[module]
        if at < 0:
            out[module] = None
            continue
        later = [s for s in starts if s > at]
        out[module] = report[at:later[0] if later else len(report)]
    return out


def claim_heads(report, modules):
    """For --write-expected: modules without expected files take, in load order, the section heads
    of the report that no module claims yet (a line "[...]" followed by the rule)."""
    lines = report.split(b"\r\n")
    found = [lines[i] for i in range(len(lines) - 1) if lines[i].startswith(b"[") and lines[i + 1] == RULE]
    free = [h for h in found if h not in {head for _, head in modules}]
    claimed = []
    for module, head in modules:
        if head is None and free:
            head = free.pop(0)
        claimed.append((module, head))
    return claimed


def first_difference(actual, expected):
    at = next((i for i in range(min(len(actual), len(expected))) if actual[i] != expected[i]),
              min(len(actual), len(expected)))
    return "(differs at byte %d of %d/%d: %r vs %r)" % (at, len(actual), len(expected), actual[at:at + 50],
                                                        expected[at:at + 50])


# The Setup tab's rows that come from Windows itself. Under Wine the real calls answer them, so
# they are checked on their own and then compared as the snapshot gives them; "Kestrel Version"
# stays byte for byte, from the same text written into the prefix.
SETUP_SEPARATORS = {"fixed": None, "tab": b"\t", "comma": b","}


def setup_row(row, layout):
    """(name, value) of a Setup row in `layout`."""
    rest = row[6:]
    sep = SETUP_SEPARATORS[layout]
    if sep is None:
        return rest[:42].rstrip(b" "), rest[43:].rstrip(b" ")
    name, _, value = rest.partition(sep)
    return name, value


def wine_setup_rows(r, actual, expected, layout):
    """Checks the rows Wine's own calls give and puts the snapshot's rows in their place."""
    with open("/proc/meminfo", "rb") as f:
        total_kb = int(re.search(rb"MemTotal:\s+(\d+) kB", f.read()).group(1))
    checks = {
        b"OS Version": lambda v: v.startswith(b"Windows 7"),
        b"Language": lambda v: v not in (b"", b"Unknown"),
        b"System Memory": lambda v: re.fullmatch(rb"(\d+) KBytes", v) is not None and
        abs(int(v.split()[0]) - total_kb) <= total_kb // 100,
    }
    wanted = {setup_row(line, layout)[0]: line for line in expected.split(b"\r\n")[4:] if line[:3].strip().isdigit()}
    lines = actual.split(b"\r\n")
    for i, line in enumerate(lines):
        if i < 4 or not line[:3].strip().isdigit():
            continue
        name, value = setup_row(line, layout)
        if name in checks:
            r.check("Wine's own %s row (%s)" % (name.decode(), layout), checks[name](value), repr(value))
            if name in wanted:
                lines[i] = wanted[name]
    return b"\r\n".join(lines)


# The PC Status tab's rows that depend on the moment: the elapsed time since logon (checked by
# pattern and written "<elapsed>" in the expected files). Under Wine, Windows' own sources also
# answer: the first logon time (the prefix's time zone), the screen colours and Aero rows (the
# display), and the five lists (the prefix's Run keys, start-up folders and processes): there the
# value rows are checked by pattern and the lists only for their form.
PCSTATUS_ELAPSED = b"System logon elapsed time"
PCSTATUS_WINE_ROWS = {b"First Logon Date and Time": rb"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d",
                      b"Screen colors": rb".*", b"Windows Aero": rb"(Enabled|Disabled)"}


def pcstatus_row(line, layout):
    sep = SETUP_SEPARATORS[layout]
    if sep is None:
        return line[:34].rstrip(b" "), line[35:].rstrip(b" ")
    name, _, value = line.partition(sep)
    return name, value


def pcstatus_moments(r, actual, expected, layout):
    """Checks the moment-dependent rows by pattern and puts the expected text in their place."""
    wanted = {pcstatus_row(line, layout)[0]: line for line in expected.split(b"\r\n")[4:]}
    lines = actual.split(b"\r\n")
    patterns = {PCSTATUS_ELAPSED: rb"\d+:\d\d:\d\d:\d\d"}
    if r.mode == "wine":
        patterns.update(PCSTATUS_WINE_ROWS)
    out = []
    in_lists = False
    for i, line in enumerate(lines):
        name, value = pcstatus_row(line, layout)
        if i >= 4 and name.startswith(b"Registered Program") or name == b"Processes":
            in_lists = True
        if r.mode == "wine" and in_lists:
            if line and not (name.startswith(b"Registered Program") or name == b"Processes"):
                r.check("PC Status list entry form (%s)" % layout,
                        re.match(rb"( {34}|[\t,]) *\d+ : ", line) is not None, repr(line))
            continue
        if i >= 4 and name in patterns:
            r.check("PC Status %s row by pattern (%s)" % (name.decode(), layout),
                    re.fullmatch(patterns[name], value) is not None, repr(value))
            line = wanted.get(name, line)
        out.append(line)
    if r.mode == "wine":
        exp = []
        in_lists = False
        for i, line in enumerate(expected.split(b"\r\n")):
            name, _ = pcstatus_row(line, layout)
            if i >= 4 and (name.startswith(b"Registered Program") or name == b"Processes"):
                in_lists = True
            if not in_lists:
                exp.append(line)
        return b"\r\n".join(out) + b"\r\n\r\n\r\n", b"\r\n".join(exp) + b"\r\n\r\n\r\n"
    return b"\r\n".join(out), expected


def write_wine_files(machine):
    """The snapshot's small files (systemInfo) into the Wine prefix's drive C."""
    import json
    with open(os.path.join(machine, "machine.json"), encoding="utf-8") as f:
        files = json.load(f).get("systemInfo", {}).get("files", {})
    for path, text in files.items():
        if not path[:3].upper() == "C:\\":
            continue
        target = os.path.join(os.environ["WINEPREFIX"], "drive_c", *path[3:].split("\\"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(text.encode("cp1252"))


def case_default_machine(r, write_expected):
    machine = os.path.join(r.source, "machines", "default")
    regs = [os.path.join(r.source, "tests", "report", "tabs_clean.reg"), os.path.join(machine, "registry.reg")]
    r.check("the build made tab modules", len(r.modules) > 0)
    if not r.modules:
        return
    if r.mode == "wine":
        write_wine_files(machine)
    for layout, switches in LAYOUTS:
        report = r.report("default-" + layout, machine, switches, regs)
        r.check("machines/default %s: a report was written" % layout, report is not None)
        if report is None:
            continue
        if write_expected:
            r.modules = claim_heads(report, r.modules)
        parts = sections(report, r.modules)
        first = r.modules[0][0]
        start = report.find(r.modules[0][1] + b"\r\n") if parts[first] is not None else -1
        r.check("machines/default %s: the modules' sections end the report, in load order" % layout,
                start > 0 and report[start:] == b"".join(parts[m] or b"" for m, _ in r.modules))
        for module, _ in r.modules:
            path = expected_path(r.source, module, layout)
            actual = parts[module]
            if write_expected and actual is not None:
                with open(path, "wb") as f:
                    f.write(actual)
            if not os.path.exists(path):
                r.check("%s %s section" % (module, layout), False, "(no expected file %s)" % path)
                continue
            with open(path, "rb") as f:
                expected = f.read()
            if r.mode == "wine" and module == "Facet04" and actual is not None:
                actual = wine_setup_rows(r, actual, expected, layout)
            if module == "Facet06" and actual is not None:
                actual, expected = pcstatus_moments(r, actual, expected, layout)
            name = "%s %s section is byte for byte %s" % (module, layout, os.path.relpath(path, r.source))
            if actual is None:
                r.check(name, False, "(section missing)")
            else:
                r.check(name, actual == expected, first_difference(actual, expected))


def well_formed(section, head, titles):
    """Heading, numbered rows 1..n (n <= 500) in the fixed layout, closing empty lines. Returns
    (problem or None, rows)."""
    if section is None:
        return "missing", []
    lines = section.split(b"\r\n")
    if len(lines) < 7 or lines[-3:] != [b"", b"", b""]:
        return "does not end in an empty line and CR LF CR LF", []
    if lines[0] != head or lines[1] != RULE or lines[3] != RULE:
        return "heading is wrong: %r" % lines[:4], []
    if not lines[2].startswith(b"    : " + titles[0]) or titles[-1] not in lines[2]:
        return "column line is wrong: %r" % lines[2], []
    rows = lines[4:-3]
    if len(rows) > 500:
        return "%d rows" % len(rows), []
    for number, row in enumerate(rows, 1):
        if not row.startswith(b"%3d : " % number):
            return "row %d is numbered wrongly: %r" % (number, row), []
        if re.search(rb"[\x00-\x1f]", row):
            return "row %d holds control characters: %r" % (number, row), []
    return None, rows


def case_real_devices_and_wmi(r):
    machine = os.path.join(r.source, "tests", "machines", "tabs-real")
    report = r.report("real", machine, [])
    r.check("no device or hotfix list: a report was written (nothing crashed)", report is not None)
    if report is None:
        return
    heads = dict(r.modules)
    parts = sections(report, r.modules)
    problem, drivers = well_formed(parts.get("Facet01"), heads.get("Facet01"), [b"Provider", b"Type"])
    r.check("no device list: the Drivers section is well formed", problem is None, problem or "")
    if r.mode == "wine":
        print("     Wine's devices gave %d Drivers rows" % len(drivers))
    else:
        r.check("natively no device list means no devices", drivers == [], repr(drivers))
    problem, programs1 = well_formed(parts.get("Facet02"), heads.get("Facet02"), [b"Name", b"Version"])
    r.check("no hotfix list: the Programs1 section is well formed", problem is None, problem or "")
    problem, _ = well_formed(parts.get("Facet03"), heads.get("Facet03"), [b"Name", b"Version"])
    r.check("the Programs2 section is well formed", problem is None, problem or "")
    if r.mode == "wine":
        hotfix = [row for row in programs1 if row[6:].startswith(WINE_HOTFIX + b" ")]
        r.check("Wine's Win32_QuickFixEngineering update is listed in Programs1", len(hotfix) == 1, repr(programs1))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", choices=["native", "wine"], required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--write-expected", action="store_true")
    args = parser.parse_args()
    runner = Runner(args.mode, os.path.abspath(args.build), os.path.abspath(args.source))
    case_default_machine(runner, args.write_expected)
    case_real_devices_and_wmi(runner)
    shutil.rmtree(runner.work, ignore_errors=True)
    if runner.failures:
        print("%d failed: %s" % (len(runner.failures), ", ".join(runner.failures)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
