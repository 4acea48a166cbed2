#!/usr/bin/env python3
"""Report-run cases of the viewer, run against the real program: natively (build/host) or under
Wine (build/win64). Each case lays out a folder of its own with the program and test modules named
Facet01... as they would be installed, runs the program with a command line, and compares the
report byte for byte.

usage: report_cases.py --mode native|wine --build BUILD_DIR --source SOURCE_DIR [--only NAME]
"""
import argparse
import datetime
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time

RULE = b"-" * 119


def header(version=b"9.8.7.6", year=b"2031"):
    product = b"Quarro" + (b" " + version if version is not None else b"")
    maker = b"Mirelta Corporation" + (b" (C) " + year if year is not None else b"")
    return RULE + b"\r\n" + product + b"\r\n" + maker + b"\r\n" + RULE + b"\r\n\r\n\r\n"


def section(name, tab_index, rows, smart=0, session=True, sep=None, long_rows=False):
    """The text of one test list module (tests/modules/test_list_module.cpp)."""
    facts = [(name + " TabIndex", str(tab_index)), (name + " SmartIdNames", str(smart)),
             (name + " Session", "yes" if session else "no")]
    body = []
    for k in range(1, rows + 1):
        text = "%s row %d" % (name, k)
        if long_rows:
            text += " " + "x" * 240
        body.append((text, "%d.0" % k))
    out = b"[Version(Test)]\r\n" + RULE + b"\r\n"
    if sep is None:
        out += b"    : " + b"Name".ljust(92) + b" " + b"Version".ljust(16) + b"\r\n"
    else:
        out += b"    :" + sep + b"Name" + sep + b"Version\r\n"
    out += RULE + b"\r\n"
    for number, (first, second) in enumerate(facts + body, 1):
        if sep is None:
            out += b"%3d : " % number + first.encode().ljust(92) + b" " + second.encode().ljust(16) + b"\r\n"
        else:
            out += b"%3d :" % number + sep + first.encode() + sep + second.encode() + b"\r\n"
    return out + b"\r\n\r\n"


class Runner:
    def __init__(self, mode, build, source):
        self.mode = mode
        self.build = build
        self.source = source
        # Under the build tree: its file system keeps DOS attributes (extended attributes) for Wine.
        self.work = tempfile.mkdtemp(prefix="report-cases-", dir=build)
        self.ext = ".dll" if mode == "wine" else ".so"
        self.failures = []

    def module_file(self, name):
        base = os.path.join(self.build, "testmodules")
        return os.path.join(base, name + ".dll") if self.mode == "wine" else os.path.join(base, "lib%s.so" % name)

    def installed_name(self, facet):
        return facet + ".dll" if self.mode == "wine" else "lib%s.so" % facet

    def layout(self, case, modules):
        """A folder with the program and the given test modules as Facet01, Facet02, ..."""
        app = os.path.join(self.work, case, "app")
        os.makedirs(app)
        program = "Almanac.exe" if self.mode == "wine" else "Almanac"
        shutil.copy2(os.path.join(self.build, "bin", program), os.path.join(app, program))
        for facet, module in modules.items():
            shutil.copy2(self.module_file(module), os.path.join(app, self.installed_name(facet)))
        return app, os.path.join(app, program)

    def winpath(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def documents(self):
        if self.mode == "native":
            return os.path.join(self.work, "Documents")
        users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
        for user in sorted(os.listdir(users)):
            path = os.path.join(users, user, "Documents")
            if user != "Public" and os.path.isdir(path):
                return os.path.realpath(path)
        raise SystemExit("no Documents folder in the Wine prefix")

    def run(self, program, args, machine, prompt_log=None, extra_env=None, winver="win7"):
        env = dict(os.environ)
        env.update(extra_env or {})
        machine_dir = machine if os.path.isabs(machine) else os.path.join(self.source, "tests", "machines", machine)
        if self.mode == "native":
            env["QUARRO_MACHINE"] = machine_dir
            env["QUARRO_DOCUMENTS"] = self.documents()
            os.makedirs(self.documents(), exist_ok=True)
            if prompt_log:
                env["QUARRO_PROMPT_LOG"] = prompt_log
            command = [program] + args
        else:
            if prompt_log:
                env["QUARRO_PROMPT_LOG"] = self.winpath(prompt_log)
            command = ["bash", os.path.join(self.source, "tests", "wine", "winetest.sh"), "run", "--winver", winver,
                       "--reg", os.path.join(machine_dir, "registry.reg"), "--machine", machine_dir, "--",
                       program] + args
        result = subprocess.run(command, env=env, capture_output=True, timeout=120)
        self.last_run = result  # for the message of a check that finds no file
        return result

    def machine(self, case, registry, os_record=None):
        """A snapshot of the case's own: the report machine with other registry content (the lines
        after the registry file's first line) or another OS record."""
        folder = os.path.join(self.work, case, "machine")
        os.makedirs(folder)
        with open(os.path.join(self.source, "tests", "machines", "report", "machine.json")) as f:
            machine = json.load(f)
        machine["os"].update(os_record or {})
        with open(os.path.join(folder, "machine.json"), "w") as f:
            json.dump(machine, f)
        with open(os.path.join(folder, "registry.reg"), "w", newline="\r\n") as f:
            f.write("Windows Registry Editor Version 5.00\n\n" + registry + "\n")
        return folder

    def path_arg(self, path):
        return self.winpath(path) if self.mode == "wine" else path

    def check(self, name, condition, detail=""):
        if condition:
            print("ok   %s" % name)
        else:
            print("FAIL %s %s" % (name, detail))
            self.failures.append(name)

    def expect_file(self, name, path, expected):
        if not os.path.exists(path):
            last = getattr(self, "last_run", None)
            detail = "" if last is None else " last run: status %d, stdout %r, stderr %r" % (
                last.returncode, last.stdout[-300:], last.stderr[-600:])
            self.check(name, False, "(no file %s)%s" % (path, detail))
            return
        with open(path, "rb") as f:
            actual = f.read()
        if actual != expected:
            at = next((i for i in range(min(len(actual), len(expected))) if actual[i] != expected[i]),
                      min(len(actual), len(expected)))
            self.check(name, False, "(differs at byte %d of %d/%d: %r vs %r)" % (
                at, len(actual), len(expected), actual[at:at + 60], expected[at:at + 60]))
        else:
            self.check(name, True)


AB = {"Facet01": "TestListA", "Facet02": "TestListB"}


def case_documents(r):
    app, program = r.layout("documents", AB)
    target = os.path.join(r.documents(), "Sysnote.txt")
    if os.path.exists(target):
        os.remove(target)
    r.run(program, ["/OUTPUTLOG"], "report")
    r.expect_file("OUTPUTLOG alone writes Documents\\Sysnote.txt", target,
                  header() + section("Alpha", 0, 3) + section("Bravo", 1, 2))


def case_folder(r):
    for trailing in (False, True):
        app, program = r.layout("folder%d" % trailing, AB)
        out = os.path.join(r.work, "folder%d" % trailing, "out")
        os.makedirs(out)
        arg = r.path_arg(out) + ("\\" if trailing else "")
        r.run(program, ["/OUTPUTLOG", "/P:" + arg], "report")
        r.expect_file("/P: folder (trailing backslash %s)" % trailing, os.path.join(out, "Sysnote.txt"),
                      header() + section("Alpha", 0, 3) + section("Bravo", 1, 2))


def case_separators_and_pages(r):
    cases = [
        ("/S:1 commas", ["/S:1"], section("Alpha", 0, 3, sep=b",") + section("Bravo", 1, 2, sep=b",")),
        ("/S:0 tabs", ["/S:0"], section("Alpha", 0, 3, sep=b"\t") + section("Bravo", 1, 2, sep=b"\t")),
        ("/S:x fixed", ["/S:x"], section("Alpha", 0, 3) + section("Bravo", 1, 2)),
        ("/T:1 second page only", ["/T:1"], section("Bravo", 1, 2)),
        ("/T:3 with two pages writes all", ["/T:3"], section("Alpha", 0, 3) + section("Bravo", 1, 2)),
        ("/SMARTID_NAME reaches the modules", ["/smartid_name"], section("Alpha", 0, 3, smart=1) + section("Bravo", 1, 2, smart=1)),
    ]
    for index, (name, switches, body) in enumerate(cases):
        app, program = r.layout("switch%d" % index, AB)
        out = os.path.join(r.work, "switch%d" % index, "out")
        os.makedirs(out)
        r.run(program, ["/OUTPUTLOG"] + switches + ["/P:" + r.path_arg(out)], "report")
        r.expect_file(name, os.path.join(out, "Sysnote.txt"), header() + body)


def case_lower_case_drive(r):
    app, program = r.layout("lowerdrive", AB)
    target = os.path.join(r.documents(), "Sysnote.txt")
    if os.path.exists(target):
        os.remove(target)
    r.run(program, ["/outputlog", "/d:e", "/s:1"], "report")
    r.expect_file("lower-case /d:e is ignored: Documents used", target,
                  header() + section("Alpha", 0, 3, sep=b",") + section("Bravo", 1, 2, sep=b","))


def case_module_rules(r):
    modules = {"Facet01": "TestListA", "Facet02": "TestRefuse", "Facet03": "TestNoCommand", "Facet05": "TestListB",
               "Facet20": "TestListLong"}
    app, program = r.layout("rules", modules)
    out = os.path.join(r.work, "rules", "out")
    os.makedirs(out)
    calls = os.path.join(r.work, "rules", "calls.txt")
    module_log = r.winpath(calls) if r.mode == "wine" else calls
    r.run(program, ["/OUTPUTLOG", "/P:" + r.path_arg(out)], "report", extra_env={"QUARRO_TEST_MODULE_LOG": module_log})
    r.expect_file("refused, incomplete and missing modules are skipped; long text in chunks",
                  os.path.join(out, "Sysnote.txt"),
                  header() + section("Alpha", 0, 3) + section("Bravo", 1, 2) + section("Long", 2, 497, long_rows=True))
    # A refused module gets no TermTabDLL; no module gets a page or a command in the report run.
    expected = (b"Alpha InitTabDLL 0 1\nRefuse InitTabDLL 1 0\nBravo InitTabDLL 1 1\nLong InitTabDLL 2 1\n"
                b"Alpha GetStringData 0\nBravo GetStringData 0\nLong GetStringData 0\nLong GetStringData 1\n"
                b"Alpha TermTabDLL\nBravo TermTabDLL\nLong TermTabDLL\n")
    actual = open(calls, "rb").read() if os.path.exists(calls) else b""
    r.check("the report run's module calls", actual == expected, repr(actual))


def case_no_modules(r):
    app, program = r.layout("nomodules", {})
    out = os.path.join(r.work, "nomodules", "out")
    os.makedirs(out)
    r.run(program, ["/OUTPUTLOG", "/P:" + r.path_arg(out)], "report-bare")
    r.expect_file("no module loaded: header only (without Version and CopyrightYear)",
                  os.path.join(out, "Sysnote.txt"), header(version=None, year=None))


INSTALLER_KEY = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mirelta\\Quarro]\n"
COMMON_KEY = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Mirelta\\Common]\n"


def case_empty_installer_values(r):
    app, program = r.layout("emptyvalues", {})
    out = os.path.join(r.work, "emptyvalues", "out")
    os.makedirs(out)
    machine = r.machine("emptyvalues", INSTALLER_KEY + '"Version"=""\n"CopyrightYear"=""\n')
    r.run(program, ["/OUTPUTLOG", "/P:" + r.path_arg(out)], machine)
    r.expect_file("empty Version and CopyrightYear still add their blank and (C)",
                  os.path.join(out, "Sysnote.txt"), header(version=b"", year=b""))


def case_future_windows(r):
    """The future-Windows question comes before the instance mutex; its default answer No ends
    the run, also the report run."""
    windows10 = {"major": 10, "minor": 0, "build": 10240, "csdVersion": "", "servicePackMajor": 0}
    question = (b"Quarro\t262452\tThis application does not support current version of Windows.\\n"
                b"Do you want to continue launching this application?\n")
    cases = [("warning switched off: no question, report written", "dword:00000001", False, b"", True),
             ("question answered No: no report", "-", False, question, False),
             ("question asked even while another instance runs", "-", True, question, False)]
    for index, (name, disable, held, prompts, written) in enumerate(cases):
        if held and r.mode != "wine":
            continue  # natively mutexes live in one process; the order is unit-tested there
        case = "future%d" % index
        app, program = r.layout(case, AB)
        out = os.path.join(r.work, case, "out")
        os.makedirs(out)
        machine = r.machine(case, INSTALLER_KEY + '"Version"="9.8.7.6"\n"CopyrightYear"="2031"\n\n' + COMMON_KEY +
                            '"DisableFutureOSWarning"=' + disable + "\n", windows10)
        log = os.path.join(r.work, case, "prompts.txt")
        holder = hold_mutex(r, case) if held else None
        try:
            r.run(program, ["/OUTPUTLOG", "/P:" + r.path_arg(out)], machine, prompt_log=log, winver="win10")
        finally:
            if holder:
                holder.kill()
                holder.wait()
        text = open(log, "rb").read() if os.path.exists(log) else b""
        r.check("future Windows, " + name,
                text == prompts and os.path.exists(os.path.join(out, "Sysnote.txt")) == written, repr(text))


def case_broken_snapshot(r):
    if r.mode != "native":
        return  # under Wine a snapshot only adds to the real machine
    app, program = r.layout("broken", AB)
    out = os.path.join(r.work, "broken", "out")
    os.makedirs(out)
    machine = r.machine("broken", INSTALLER_KEY)
    with open(os.path.join(machine, "machine.json"), "w") as f:
        f.write('{"os": ')
    result = r.run(program, ["/OUTPUTLOG", "/P:" + r.path_arg(out)], machine)
    r.check("a snapshot that does not load: its error on stderr, status 2, no report",
            result.returncode == 2 and result.stderr.startswith(b"Almanac: ") and b"machine.json" in result.stderr
            and not os.path.exists(os.path.join(out, "Sysnote.txt")), repr((result.returncode, result.stderr)))


def case_first_login(r):
    app, program = r.layout("firstlogin", AB)
    out = os.path.join(r.work, "firstlogin", "out")
    os.makedirs(out)
    r.run(program, ["/OUTPUTLOG", "xfirstLOGINx", "/P:" + r.path_arg(out)], "report")
    r.check("firstlogin anywhere writes nothing", not os.path.exists(os.path.join(out, "Sysnote.txt")))


def case_driver_absent(r):
    app, program = r.layout("nodriver", AB)
    out = os.path.join(r.work, "nodriver", "out")
    os.makedirs(out)
    log = os.path.join(r.work, "nodriver", "prompts.txt")
    r.run(program, ["/OUTPUTLOG", "/P:" + r.path_arg(out)], "report-nodriver", prompt_log=log)
    r.check("driver absent: no report", not os.path.exists(os.path.join(out, "Sysnote.txt")))
    text = open(log, "rb").read() if os.path.exists(log) else b""
    r.check("driver absent: message 113 with caption Quarro and MB_ICONERROR",
            text == b"Quarro\t16\tAccess to System Interface Device - 0021 was unsuccessful.\\n\\n"
                    b"Confirm whether the System Interface Device - 0021 is available.\n", repr(text))


def case_logs(r):
    app, program = r.layout("logs", AB)
    out = os.path.join(r.work, "logs", "out")
    os.makedirs(out)
    logdir = os.path.join(app, "Log")
    os.makedirs(logdir)
    today = datetime.date.today()
    previous = (today.year - 1, 12) if today.month == 1 else (today.year, today.month - 1)
    older = (previous[0] - 1, previous[1])

    def write(name, data):
        with open(os.path.join(logdir, name), "wb") as f:
            f.write(data)
    write("Smart_%04d%02d.txt" % (today.year, today.month), b"current one\nline two\r\nno end")
    write("Smart_%04d%02d.txt" % previous, b"previous month\n")
    write("Smart_%04d%02d.txt" % older, b"too old\n")
    r.run(program, ["/OUTPUTLOG", "/T:A", "/P:" + r.path_arg(out)], "report")
    r.expect_file("/T:A appends the previous then the current month's logs", os.path.join(out, "Sysnote.txt"),
                  header() + section("Alpha", 0, 3) + section("Bravo", 1, 2) +
                  b"previous month\r\ncurrent one\r\nline two\r\nno end\r\n")


def case_read_only_target(r):
    app, program = r.layout("readonly", AB)
    out = os.path.join(r.work, "readonly", "out")
    os.makedirs(out)
    target = os.path.join(out, "Sysnote.txt")
    with open(target, "wb") as f:
        f.write(b"old report")
    if r.mode == "native":
        os.chmod(target, stat.S_IRUSR | stat.S_IRGRP)
    else:
        for flag in ("+h", "+a", "+r"):  # Wine's attrib takes one flag per call
            subprocess.run(["bash", os.path.join(r.source, "tests", "wine", "winetest.sh"), "run", "--",
                            "cmd", "/c", "attrib", flag, r.winpath(target)], capture_output=True)
    r.run(program, ["/OUTPUTLOG", "/P:" + r.path_arg(out)], "report")
    if r.mode == "native":
        os.chmod(target, stat.S_IRUSR | stat.S_IWUSR)
    r.expect_file("a read-only report file is overwritten", target,
                  header() + section("Alpha", 0, 3) + section("Bravo", 1, 2))
    if r.mode == "wine":
        attrib = subprocess.run(["bash", os.path.join(r.source, "tests", "wine", "winetest.sh"), "run", "--",
                                 "cmd", "/c", "attrib", r.winpath(target)], capture_output=True).stdout
        flags = attrib.split(b"Z:")[0] if b"Z:" in attrib else attrib
        r.check("its hidden and archive attributes stay, read-only is gone",
                b"H" in flags and b"A" in flags and b"R" not in flags, repr(attrib))


def hold_mutex(r, case):
    """Another instance under Wine: a process holding the viewer's mutex until it is killed."""
    holder = os.path.join(r.build, "tests", "hold_mutex.exe")
    ready = os.path.join(r.work, case, "ready")
    env = dict(os.environ, WINEDEBUG="-all")
    proc = subprocess.Popen(["/usr/lib/wine/wine64", holder, "MireltaQuarroMutex", r.winpath(ready), "60"], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(300):
        if os.path.exists(ready):
            break
        time.sleep(0.1)
    return proc


def case_second_instance(r):
    if r.mode != "wine":
        return  # natively mutexes live in one process; the guard is unit-tested there
    app, program = r.layout("second", AB)
    out = os.path.join(r.work, "second", "out")
    os.makedirs(out)
    proc = hold_mutex(r, "second")
    try:
        r.run(program, ["/OUTPUTLOG", "/P:" + r.path_arg(out)], "report")
        r.check("a second instance writes nothing", not os.path.exists(os.path.join(out, "Sysnote.txt")))
    finally:
        proc.kill()
        proc.wait()


CASES = [case_documents, case_folder, case_separators_and_pages, case_lower_case_drive, case_module_rules,
         case_no_modules, case_empty_installer_values, case_future_windows, case_broken_snapshot, case_first_login,
         case_driver_absent, case_logs, case_read_only_target, case_second_instance]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", choices=["native", "wine"], required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--only")
    args = parser.parse_args()
    runner = Runner(args.mode, os.path.abspath(args.build), os.path.abspath(args.source))
    for case in CASES:
        if args.only and args.only not in case.__name__:
            continue
        case(runner)
    shutil.rmtree(runner.work, ignore_errors=True)
    if runner.failures:
        print("%d failed: %s" % (len(runner.failures), ", ".join(runner.failures)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
