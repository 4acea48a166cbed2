#!/usr/bin/env python3
"""Report sections of the tab modules, written by the real viewer with the real modules: natively
(build/host) or under Wine (build/win64).

The modules are the ones the build made: every Facet*.dll (Wine) or libFacet*.so (native) in the
build's bin/. Each has its expected sections in tests/expected/<module>_<layout>.txt (lower-case
module name; layouts fixed, tab, comma); the first line of the fixed one is the section head that
finds the module's section in a report. A new module needs its expected files, nothing here.

- machines/default in the fixed, tab and comma layouts, byte for byte against tests/expected/.
  Under Wine the snapshot's registry.reg is imported into the prefix first (after
  tests/report/tabs_clean.reg has removed programs other runs may have left there), and the
  S.M.A.R.T. pipe server (Spindle.exe, console mode) serves the snapshot's disk meanwhile.
- the advanced hard-disk mode (HKLM "Hdd_AdvancedMode" 1) with "/SMARTID_NAME", in the fixed and
  comma layouts: a module with tests/expected/<module>_advanced_<layout>.txt is compared with it.
- tests/machines/tabs-real, a snapshot without a device list, a hotfix list, battery bays or
  smbios.bin: under Wine the Drivers tab walks Wine's own devices through SetupAPI, Programs1 and
  the SMBIOS tab ask Wine's WMI (whose SMBIOS table may be empty: "Not Found").
  The list sections there must be well formed, Wine's hotfix must be in Programs1, and the
  battery tab (Wine has no batteries) must have no section.

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

    def layout(self, case, only=None):
        """A folder with the viewer and the modules (or the modules named in `only`), as they are
        installed."""
        app = os.path.join(self.work, case, "app")
        os.makedirs(app)
        names = [m for m, _ in self.modules if only is None or m in only]
        if self.mode == "wine":
            program = "Almanac.exe"
            files = [program] + [m + ".dll" for m in names]
        else:
            program = "Almanac"
            files = [program] + ["lib%s.so" % m for m in names]
        for name in files:
            shutil.copy2(os.path.join(self.build, "bin", name), os.path.join(app, name))
        return os.path.join(app, program)

    def winpath(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def report(self, case, machine_dir, switches, regs=(), only=None, env=None, relay=False):
        """Runs the report into a folder of its own and returns the file's bytes (None: no file).
        With `relay` (Wine) the device is the real one, served through the relay (winetest.sh
        --relay)."""
        program = self.layout(case, only)
        out = os.path.join(self.work, case, "out")
        os.makedirs(out)
        env = dict(env or os.environ)
        if self.mode == "native":
            env["QUARRO_MACHINE"] = machine_dir
            env["QUARRO_DOCUMENTS"] = out
            env["TZ"] = "UTC"  # the first logon time is local time
            command = [program, "/OUTPUTLOG"] + switches + ["/P:" + out]  # "/P:" takes the rest of the line
        else:
            command = ["bash", os.path.join(self.source, "tests", "wine", "winetest.sh"), "run", "--winver", "win7"]
            for reg in regs:
                command += ["--reg", reg]
            command += ["--relay" if relay else "--machine", machine_dir, "--", program, "/OUTPUTLOG"] + switches + \
                ["/P:" + self.winpath(out)]
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


# The names of the rows Wine's own calls answer, per language, and the code page of each.
WINDOWS_ROW_NAMES = {
    "en": ("cp1252", "OS Version", "Language", "System Memory", b"English"),
    "fr": ("cp1252", "Version du système", "Langue", "Mémoire système", b"French"),
    "ja": ("cp932", "OS バージョン", "言語", "システム メモリ", b"Japanese"),
}


def wine_setup_rows(r, actual, expected, layout, lang="en"):
    """Checks the rows Wine's own calls give and puts the snapshot's rows in their place."""
    with open("/proc/meminfo", "rb") as f:
        total_kb = int(re.search(rb"MemTotal:\s+(\d+) kB", f.read()).group(1))
    code_page, os_row, language_row, memory_row, language = WINDOWS_ROW_NAMES[lang[:2]]
    checks = {
        os_row.encode(code_page): lambda v: v.startswith(b"Windows 7"),
        language_row.encode(code_page): lambda v: v.startswith(language),
        memory_row.encode(code_page): lambda v: re.fullmatch(rb"(\d+) KBytes", v) is not None and
        abs(int(v.split()[0]) - total_kb) <= total_kb // 100,
    }
    wanted = {setup_row(line, layout)[0]: line for line in expected.split(b"\r\n")[4:] if line[:3].strip().isdigit()}
    lines = actual.split(b"\r\n")
    for i, line in enumerate(lines):
        if i < 4 or not line[:3].strip().isdigit():
            continue
        name, value = setup_row(line, layout)
        if name in checks:
            r.check("Wine's own %s row (%s, %s)" % (name.decode(code_page), layout, lang), checks[name](value), repr(value))
            if name in wanted:
                lines[i] = wanted[name]
    return b"\r\n".join(lines)


class PipeServer:
    """Under Wine, Spindle.exe in console mode serving `machine`'s disk over the real pipe while
    the reports run (natively the pipe is served in-process)."""

    def __init__(self, r, machine):
        self.process = None
        if r.mode != "wine":
            return
        server = os.path.join(r.build, "bin", "Spindle.exe")
        self.process = subprocess.Popen(["/usr/lib/wine/wine64", server, "/console", "/machine:" + r.winpath(machine)],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        env=dict(os.environ, WINEDEBUG="-all"))

    def __enter__(self):
        return self

    def __exit__(self, *args):
        if self.process:
            self.process.kill()
            self.process.wait()


def advanced_machine(r):
    """machines/default with the advanced hard-disk mode switched on."""
    machine = os.path.join(r.work, "advanced-machine")
    shutil.copytree(os.path.join(r.source, "machines", "default"), machine)
    with open(os.path.join(machine, "registry.reg"), "ab") as f:
        f.write(b'\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mirelta\\Quarro]\r\n"Hdd_AdvancedMode"=dword:00000001\r\n')
    return machine


def case_advanced_disk(r, write_expected):
    machine = advanced_machine(r)
    regs = [os.path.join(r.source, "tests", "report", "tabs_clean.reg"), os.path.join(machine, "registry.reg")]
    for layout, switches in [("fixed", []), ("comma", ["/S:1"])]:
        wanted = [(m, expected_path(r.source, m + "_advanced", layout)) for m, _ in r.modules]
        wanted = [(m, p) for m, p in wanted if os.path.exists(p) or (write_expected and m == "Facet05")]
        if not wanted:
            continue
        report = r.report("advanced-" + layout, machine, switches + ["/SMARTID_NAME"], regs)
        r.check("advanced hard-disk mode %s: a report was written" % layout, report is not None)
        if report is None:
            continue
        parts = sections(report, r.modules)
        for module, path in wanted:
            actual = parts[module]
            if write_expected and actual is not None:
                with open(path, "wb") as f:
                    f.write(actual)
            with open(path, "rb") as f:
                expected = f.read()
            if r.mode == "wine" and module == "Facet05" and actual is not None:
                actual = wine_disk_volumes(r, actual, expected, layout)
            r.check("%s advanced %s section is byte for byte %s" % (module, layout, os.path.relpath(path, r.source)),
                    actual == expected, "(section missing)" if actual is None else first_difference(actual, expected))


def wine_disk_volumes(r, actual, expected, layout):
    """Under Wine the hard-disk tab lists Wine's own drives (the volumes are the running Windows',
    never the snapshot's): they are checked on their own, then the snapshot's lines take their
    place for the byte-for-byte comparison."""
    def volume_lines(text):
        lines = text.split(b"\r\n")
        end = lines.index(b"", 4) if b"" in lines[4:] else 4
        return lines, 4, end
    lines, start, end = volume_lines(actual)
    sep = {"fixed": None, "tab": b"\t", "comma": b","}[layout]
    if sep is None:
        pattern = rb"[A-Z]:        .{20}[ \d]{14}\d    [ \d]{14}\d"
    else:
        pattern = rb"[A-Z]:" + re.escape(sep) + rb"[^\r\n]*" + re.escape(sep) + rb"\d+" + re.escape(sep) + rb"\d+"
    volumes = lines[start:end]
    r.check("Wine's own drives in the hard-disk section (%s): C: and well formed" % layout,
            any(v.startswith(b"C:") for v in volumes) and all(re.fullmatch(pattern, v) for v in volumes), repr(volumes))
    wanted, wstart, wend = volume_lines(expected)
    return b"\r\n".join(lines[:start] + wanted[wstart:wend] + lines[end:])
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
            if r.mode == "wine" and module == "Facet05" and actual is not None:
                actual = wine_disk_volumes(r, actual, expected, layout)
            if module == "Facet06" and actual is not None:
                actual, expected = pcstatus_moments(r, actual, expected, layout)
            name = "%s %s section is byte for byte %s" % (module, layout, os.path.relpath(path, r.source))
            if actual is None:
                r.check(name, False, "(section missing)")
            else:
                r.check(name, actual == expected, first_difference(actual, expected))


def compare_file(r, name, actual, path, write_expected):
    if write_expected and actual is not None:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(actual)
    if actual is None or not os.path.exists(path):
        r.check(name, False, "(section missing)" if actual is None else "(no expected file %s)" % path)
        return
    with open(path, "rb") as f:
        expected = f.read()
    r.check(name, actual == expected, first_difference(actual, expected))


def setup_section(report):
    at = report.find(b"[Setup]\r\n") if report else -1
    return report[at:] if at >= 0 else None


def case_setup_fixtures(r, write_expected):
    """The Setup tab's branches, one snapshot each (tests/machines/setup-*), natively: the old
    controller path, "Battery Control Priority", no device table, the 199-row limit, a session
    that carries no requests. Only Facet04 is installed, so its section ends the report."""
    for machine in sorted(glob.glob(os.path.join(r.source, "tests", "machines", "setup-*"))):
        name = os.path.basename(machine)
        report = r.report(name, machine, [], only=["Facet04"])
        path = os.path.join(r.source, "tests", "expected", "setup", name + ".txt")
        compare_file(r, "%s: the Setup section is byte for byte %s" % (name, os.path.relpath(path, r.source)),
                     setup_section(report), path, write_expected)


def language_env(r, lang):
    """The environment of a run in `lang` (fr_FR, ja_JP): the module's language natively; the
    user's locale under Wine, with a fresh wineserver so that the whole session takes it."""
    env = dict(os.environ)
    if r.mode == "native":
        env["QUARRO_LANGUAGE"] = lang[:2]
        return env
    folder = os.path.join(r.build, "gui-locales")
    os.makedirs(folder, exist_ok=True)
    if not os.path.isdir(os.path.join(folder, lang + ".UTF-8")):
        subprocess.run(["localedef", "-i", lang, "-f", "UTF-8", os.path.join(folder, lang + ".UTF-8")],
                       capture_output=True)
    for name in ("LC_MESSAGES", "LANGUAGE"):
        env.pop(name, None)
    env.update(LOCPATH=folder, LANG=lang + ".UTF-8", LC_ALL=lang + ".UTF-8")
    subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=env, capture_output=True)
    return env


def case_setup_languages(r, write_expected):
    """The default notebook's Setup section in French and Japanese: the page's own texts and the
    device names of the language's tags (tests/expected/facet04_fixed_<language>.txt)."""
    if "Facet04" not in dict(r.modules):
        return
    machine = os.path.join(r.source, "machines", "default")
    for lang in ("fr_FR", "ja_JP"):
        env = language_env(r, lang)
        report = r.report("setup-" + lang, machine, [], only=["Facet04"], env=env)
        actual = setup_section(report)
        path = os.path.join(r.source, "tests", "expected", "facet04_fixed_%s.txt" % lang[:2])
        if r.mode == "wine" and actual is not None and os.path.exists(path):
            with open(path, "rb") as f:
                actual = wine_setup_rows(r, actual, f.read(), "fixed", lang)
        compare_file(r, "Setup in %s is byte for byte %s" % (lang, os.path.relpath(path, r.source)), actual, path,
                     write_expected and r.mode == "native")
    if r.mode == "wine":
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], capture_output=True)


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
    smbios = parts.get("Facet09")
    body = smbios.split(RULE + b"\r\n")[-1] if smbios else b""
    if r.mode == "wine":
        print("     Wine's WMI gave the SMBIOS body %r" % body[:40])
        r.check("no smbios.bin: the real WMI query answered and the SMBIOS section is whole",
                body == b"Not Found\r\n\r\n\r\n" or body.startswith(b"System Management BIOS\r\n"), repr(body[:200]))
    else:
        r.check("natively no smbios.bin means no SMBIOS data", body == b"Not Found\r\n\r\n\r\n", repr(body[:200]))
    if r.mode == "wine":
        hotfix = [row for row in programs1 if row[6:].startswith(WINE_HOTFIX + b" ")]
        r.check("Wine's Win32_QuickFixEngineering update is listed in Programs1", len(hotfix) == 1, repr(programs1))
    # No battery list: Windows' own batteries (none under Wine, none natively), so the battery
    # tab refuses set-up and the report has no battery section.
    r.check("no battery devices: no battery section", b"[Battery Status]\r\n" not in report)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", choices=["native", "wine"], required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--write-expected", action="store_true")
    args = parser.parse_args()
    runner = Runner(args.mode, os.path.abspath(args.build), os.path.abspath(args.source))
    with PipeServer(runner, os.path.join(runner.source, "machines", "default")):
        case_default_machine(runner, args.write_expected)
        case_advanced_disk(runner, args.write_expected)
        case_real_devices_and_wmi(runner)
    if args.mode == "native":
        case_setup_fixtures(runner, args.write_expected)
    case_setup_languages(runner, args.write_expected)
    shutil.rmtree(runner.work, ignore_errors=True)
    if runner.failures:
        print("%d failed: %s" % (len(runner.failures), ", ".join(runner.failures)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
