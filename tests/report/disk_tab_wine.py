#!/usr/bin/env python3
"""The hard-disk tab (Facet05) in the real Almanac.exe under Wine, in a prefix of its own, over
the real named pipe:
- the real pipe server (Spindle.exe, console mode, on machines/default's disk) answers the
  unattended report in the normal and the advanced hard-disk mode: the section is byte for byte
  tests/expected/facet05_fixed.txt and facet05_advanced_fixed.txt (Wine's own drives checked on
  their own and put in place of the snapshot's);
- with no server the tab says "Not Found" for the attributes and the raw sector (two attempts
  through QUARRO_PIPE_ATTEMPTS instead of fifty, so the test does not wait 50 s).

usage: disk_tab_wine.py --build BUILD_DIR --source SOURCE_DIR   (WINEPREFIX, QUARRO_WINE_TEMPLATE set)
"""
import argparse
import os
import shutil
import subprocess
import sys

import tab_reports as tr


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    r = tr.Runner("wine", os.path.abspath(args.build), os.path.abspath(args.source))
    r.modules = [(m, h) for m, h in r.modules if m == "Facet05"]
    subprocess.run(["bash", os.path.join(r.source, "tests", "wine", "winetest.sh"), "clone",
                    os.environ["QUARRO_WINE_TEMPLATE"]], check=True)
    default = os.path.join(r.source, "machines", "default")
    advanced = tr.advanced_machine(r)
    clean = os.path.join(r.source, "tests", "report", "tabs_clean.reg")
    cases = [("normal", default, [], "facet05_fixed.txt"),
             ("advanced", advanced, ["/SMARTID_NAME"], "facet05_advanced_fixed.txt")]
    with tr.PipeServer(r, default):
        for name, machine, switches, expected_name in cases:
            report = r.report("served-" + name, machine, switches, [clean, os.path.join(machine, "registry.reg")])
            section = tr.sections(report or b"", r.modules)["Facet05"]
            with open(os.path.join(r.source, "tests", "expected", expected_name), "rb") as f:
                expected = f.read()
            if section is not None:
                section = tr.wine_disk_volumes(r, section, expected, "fixed")
            r.check("served by Spindle.exe, %s mode: the section is byte for byte %s" % (name, expected_name),
                    section == expected, "(missing)" if section is None else tr.first_difference(section, expected))
    os.environ["QUARRO_PIPE_ATTEMPTS"] = "2"
    report = r.report("no-server", advanced, ["/SMARTID_NAME"], [clean, os.path.join(advanced, "registry.reg")])
    section = tr.sections(report or b"", r.modules)["Facet05"] or b""
    r.check("no server: the attributes are \"Not Found\"",
            b"Attribute name\r\n" + tr.RULE + b"\r\n  Not Found\r\n" in section, repr(section[-400:]))
    r.check("no server: the raw sector is \"Not Found\"",
            section.endswith(b"Management Information-Advanced\r\n" + tr.RULE + b"\r\n  Not Found\r\n\r\n\r\n"),
            repr(section[-200:]))
    subprocess.run(["/usr/lib/wine/wineserver", "-k"], capture_output=True)
    shutil.rmtree(r.work, ignore_errors=True)
    if r.failures:
        print("%d failed: %s" % (len(r.failures), ", ".join(r.failures)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
