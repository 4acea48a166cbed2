#!/usr/bin/env python3
"""The programs on the real Win32 device path under Wine: SetupAPI finds the Misc Driver's device,
CreateFileW opens the relay driver and every DeviceIoControl travels to the firmware host, which
serves it with the snapshot's simulated driver (winetest.sh --relay). The rest of the machine
still comes from the snapshot.

- machines/default: the real Almanac.exe writes the Setup, PC Status and Battery sections exactly
  as in snapshot mode (the expected files, with the rows Wine itself answers normalised as the
  snapshot-mode test does); the Drivers section lists "Mirelta Misc Driver" from the device
  registration, not from a device list.
- the session test suite (MiscCommonOnWine) passes over the relay, and the driver's registry
  write lands in Wine's registry.
- Watchpost, as a service, logs its power-on entry with the firmware's model and serial numbers.
- failures through the real APIs: a driver older than 1.0.8.0 gives a session without a channel
  (and the Setup section of that fixture); an impostor host with another key gives "Driver
  Authentication Failed."; with the host stopped, requests fail and the viewer shows its message;
  a host that breaks the exchange (oversized or malformed replies, hanging up) fails the request
  and never makes the relay write past the caller's buffer.

usage: relay_cases.py BUILD_DIR SOURCE_DIR   (WINEPREFIX and QUARRO_WINE_TEMPLATE set)
"""
import json
import os
import re
import shutil
import subprocess
import sys
import time

SOURCE = os.path.abspath(sys.argv[2])
sys.path.insert(0, os.path.join(SOURCE, "tests", "report"))
import tab_reports  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
TESTS = os.path.join(BUILD, "tests")
HARNESS = os.path.join(SOURCE, "tests", "wine", "winetest.sh")
WINE = "/usr/lib/wine/wine64"
DEFAULT = os.path.join(SOURCE, "machines", "default")
os.environ["QUARRO_RELAY_TOOLS"] = TESTS  # for the report runs too
ENV = dict(os.environ, WINEDEBUG="-all")


def harness(*args, check=True):
    result = subprocess.run(["bash", HARNESS] + list(args), env=ENV, capture_output=True, timeout=180)
    if check and result.returncode != 0:
        raise RuntimeError("winetest.sh %s: %s" % (" ".join(args), result.stderr.decode(errors="replace")))
    return result


def probe(*run_options):
    out = harness("run", *run_options, "--", os.path.join(TESTS, "session_probe.exe")).stdout
    return out.decode(errors="replace").strip()


def derived_machine():
    """The snapshot the relay runs give the programs (winetest.sh's copy without the driver)."""
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", "quarro-relay", "machine")


def case_default_reports(r):
    regs = [os.path.join(SOURCE, "tests", "report", "tabs_clean.reg"), os.path.join(DEFAULT, "registry.reg")]
    tab_reports.write_wine_files(DEFAULT)
    only = ["Facet01", "Facet04", "Facet06", "Facet07"]
    report = r.report("relay-default", DEFAULT, [], regs, only=only, relay=True)
    r.check("real device: a report was written", report is not None)
    if report is None:
        return
    modules = [(m, h) for m, h in r.modules if m in only]
    parts = tab_reports.sections(report, modules)
    for module in ["Facet04", "Facet06", "Facet07"]:
        with open(tab_reports.expected_path(SOURCE, module, "fixed"), "rb") as f:
            expected = f.read()
        actual = parts[module]
        if actual is None:
            r.check("real device: %s section" % module, False, "(section missing)")
            continue
        if module == "Facet04":
            actual = tab_reports.wine_setup_rows(r, actual, expected, "fixed")
        if module == "Facet06":
            actual, expected = tab_reports.pcstatus_moments(r, actual, expected, "fixed")
        r.check("real device: %s section as in snapshot mode" % module, actual == expected,
                tab_reports.first_difference(actual, expected))
    drivers = parts["Facet01"] or b""
    r.check("real device: the Drivers section lists the registered Misc Driver",
            re.search(rb"\r\n +\d+ : Mirelta +Mirelta Misc Driver +1\.0\.900\.0 ", drivers) is not None,
            repr(drivers[:1200]))


def case_session_suite(r):
    result = harness("run", "--winver", "win7", "--relay", DEFAULT, "--",
                     os.path.join(TESTS, "wintests.exe"), "--gtest_filter=MiscCommonOnWine.*", check=False)
    out = result.stdout.decode(errors="replace")
    r.check("real device: the session suite passes", result.returncode == 0 and "[  PASSED  ] 3 tests" in out,
            out[-1500:])
    query = harness("run", "--", "reg", "query", "HKLM\\SOFTWARE\\Mirelta\\QuarroWineTest", "/v", "SessionCheck",
                    check=False).stdout
    r.check("real device: the driver's registry write is in Wine's registry",
            re.search(rb"SessionCheck +REG_DWORD +0x5a17c0de", query) is not None, repr(query))


def case_watchpost(r):
    app = os.path.join(r.work, "watchpost")
    os.makedirs(app)
    shutil.copy2(os.path.join(BUILD, "bin", "Watchpost.exe"), app)
    harness("relay", "start", DEFAULT)
    program = r.winpath(os.path.join(app, "Watchpost.exe"))
    sc = [WINE, "sc"]
    subprocess.run(sc + ["create", "Watchpost", "binPath=", "%s /MACHINE:%s" % (program, r.winpath(derived_machine()))],
                   env=ENV, capture_output=True, timeout=60)
    subprocess.run(sc + ["start", "Watchpost"], env=ENV, capture_output=True, timeout=60)
    log = b""
    for _ in range(200):
        logs = [os.path.join(app, "Log", n) for n in os.listdir(os.path.join(app, "Log"))] \
            if os.path.isdir(os.path.join(app, "Log")) else []
        log = b"".join(open(p, "rb").read() for p in logs)
        if b"Power ON (Start) =====" in log:
            break
        time.sleep(0.1)
    subprocess.run(sc + ["stop", "Watchpost"], env=ENV, capture_output=True, timeout=60)
    r.check("Watchpost: the power-on entry over the relay", b"Power ON (Start) =====" in log, repr(log[:600]))
    r.check("Watchpost: the firmware's model and serial numbers in the header",
            re.search(rb"\r\nModel No\.: NB-7420C2BKEA \(6\.1\.\d+\)\r\nSerial No\.: 3LKSA48213\r\n", log) is not None,
            repr(log[:600]))


def case_failures(r):
    # A driver older than 1.0.8.0: a session without a channel, and that fixture's Setup section.
    old = os.path.join(SOURCE, "tests", "machines", "setup-no-channel")
    r.check("old driver: a session without a channel", probe("--relay", old).startswith(
        "open=0 cipher=0 version=1.0.7.0 model=- "), probe("--relay", old))
    # The default notebook's files in drive C are not this one's.
    with open(os.path.join(DEFAULT, "machine.json"), encoding="utf-8") as f:
        for path in json.load(f).get("systemInfo", {}).get("files", {}):
            if path[:3].upper() == "C:\\":
                target = os.path.join(os.environ["WINEPREFIX"], "drive_c", *path[3:].split("\\"))
                if os.path.exists(target):
                    os.remove(target)
    report = r.report("relay-old-driver", old, [], only=["Facet04"], relay=True)
    with open(os.path.join(SOURCE, "tests", "expected", "setup", "setup-no-channel.txt"), "rb") as f:
        expected = f.read()
    actual = tab_reports.setup_section(report) if report else None
    if actual is not None:
        actual = tab_reports.wine_setup_rows(r, actual, expected, "fixed")
    r.check("old driver: the Setup section as in snapshot mode", actual == expected,
            tab_reports.first_difference(actual or b"", expected))

    # An impostor: a host whose driver holds another pre-shared key.
    impostor = os.path.join(r.work, "impostor")
    shutil.copytree(DEFAULT, impostor)
    with open(os.path.join(impostor, "machine.json"), encoding="utf-8") as f:
        data = json.load(f)
    data["miscDriver"]["presharedKey"] = "mismatched"
    with open(os.path.join(impostor, "machine.json"), "w", encoding="utf-8") as f:
        json.dump(data, f)
    line = probe("--relay", impostor)
    r.check("impostor host: Driver Authentication Failed",
            line.startswith("open=6 cipher=0 ") and line.endswith("_Initialize: Driver Authentication Failed."), line)

    # The host stopped: the relay fails every request, the viewer shows its message.
    line = probe("--relay", DEFAULT)
    r.check("before the host stops: a session", line.startswith("open=0 cipher=1 version=1.0.900.0 model=NB7420C2BKEA"),
            line)
    harness("relay", "stop-host")
    line = probe("--machine", derived_machine())
    # The open fails once Wine has seen the host's pipe go; a moment earlier it may still connect
    # to it and the first request fails instead. Both leave the device unusable.
    r.check("host stopped: the device cannot be used",
            re.fullmatch(r"open=11 cipher=0 .*OpenDriver: CreateFile failed\.|"
                         r"open=2 cipher=0 .*_Initialize: DeviceIoControl failed\.", line) is not None, line)
    program = r.layout("relay-no-host", ["Facet04"])
    out = os.path.join(r.work, "relay-no-host", "out")
    os.makedirs(out)
    prompts = os.path.join(r.work, "relay-no-host", "prompts.txt")
    env = dict(ENV, QUARRO_PROMPT_LOG=r.winpath(prompts))
    subprocess.run(["bash", HARNESS, "run", "--machine", derived_machine(), "--", program, "/OUTPUTLOG",
                    "/P:" + r.winpath(out)], env=env, capture_output=True, timeout=180)
    text = open(prompts, "rb").read() if os.path.exists(prompts) else b""
    r.check("host stopped: no report", not os.path.exists(os.path.join(out, "Sysnote.txt")))
    r.check("host stopped: the viewer's message 113",
            text == b"Quarro\t16\tAccess to System Interface Device - 0021 was unsuccessful.\\n\\n"
                    b"Confirm whether the System Interface Device - 0021 is available.\n", repr(text))


def case_broken_hosts(r):
    """A host that breaks the exchange never makes the relay write past the caller's buffer: the
    request fails (ERROR_IO_DEVICE for a reply against the rules, ERROR_DEVICE_NOT_CONNECTED for a
    host that hangs up) and the handle's connection is dropped."""
    probe_exe = os.path.join(TESTS, "device_probe.exe")
    cases = [
        ("", "ok=1 error=0 returned=128 buffer=written\nok=1 error=0 returned=128 buffer=written"),
        ("oversize", "ok=0 error=1117 returned=0 buffer=untouched\nok=0 error=1167 returned=0 buffer=untouched"),
        ("badmagic", "ok=0 error=1117 returned=0 buffer=untouched\nok=0 error=1167 returned=0 buffer=untouched"),
        ("hangup", "ok=0 error=1167 returned=0 buffer=untouched\nok=0 error=1167 returned=0 buffer=untouched"),
    ]
    for fault, expected in cases:
        env = dict(ENV, QUARRO_RELAY_FAULT=fault)
        result = subprocess.run(["bash", HARNESS, "run", "--relay", DEFAULT, "--", probe_exe], env=env,
                                capture_output=True, timeout=180)
        out = result.stdout.decode(errors="replace").replace("\r", "").strip()
        r.check("host fault %r: %s" % (fault or "none", expected.split("\n")[0]), out == expected,
                repr((out, result.stderr.decode(errors="replace")[-800:])))


def main():
    harness("clone", os.environ["QUARRO_WINE_TEMPLATE"])
    r = tab_reports.Runner("wine", BUILD, SOURCE)
    try:
        case_default_reports(r)
        case_session_suite(r)
        case_watchpost(r)
        case_failures(r)
        case_broken_hosts(r)
    finally:
        harness("stop", check=False)
        shutil.rmtree(r.work, ignore_errors=True)
    if r.failures:
        print("%d failed: %s" % (len(r.failures), ", ".join(r.failures)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
