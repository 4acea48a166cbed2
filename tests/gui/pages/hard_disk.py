"""The real Hard Disk page on the default notebook, answered by the real S.M.A.R.T. pipe server
(Spindle.exe in console mode on the snapshot's disk): the page in normal mode, in the advanced
hard-disk mode with its "Ad&vanced..." button, and the dialog with the raw data sector."""
import os
import subprocess
import time

WINE = "/usr/lib/wine/wine64"
ADVANCED_KEY = r"HKLM\Software\Wow6432Node\Mirelta\Quarro"


def serve_with_spindle(g):
    """Every fresh wineserver gets a pipe server of its own (restarting Wine ends the old one)."""
    original = g.restart_wine
    machine = "Z:" + os.path.join(g.source, "machines", "default").replace("/", "\\")
    server = os.path.join(g.build, "bin", "Spindle.exe")

    def restart(env=None):
        original(env)
        subprocess.Popen([WINE, server, "/console", "/machine:" + machine], env=env or g.env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)

    g.restart_wine = restart


def group(g):
    serve_with_spindle(g)
    for mode in ("normal", "advanced"):
        if mode == "advanced":
            g.reg_dword(ADVANCED_KEY, "Hdd_AdvancedMode", 1)
        env, sheet = g.open_pages("disk-" + mode, ["Facet05"])
        if not sheet:
            return
        g.check("%s: the page's title" % mode, sheet.get("titles") == "Hard Disk Status", sheet.get("titles"))
        page = g.drive("wait-window", "sheet", env=env)
        g.check("%s: Wine's own drives give at least C:" % mode,
                int(page.get("items.1018", "0")) >= 1, repr(page.get("items.1018")))
        g.check("%s: 19 attributes from the server" % mode, page.get("items.1019") == "19", repr(page.get("items.1019")))
        g.check("%s: the service was not running at start, so the box is ticked" % mode, page.get("checked.1020") == "1")
        g.check("%s: Advanced... only in the advanced mode" % mode,
                (page.get("hidden.1023") == "1") == (mode == "normal"), repr(page.get("hidden.1023")))
        g.shot("page-hard-disk-" + mode, g.drive("sheet", env=env))
        if mode == "advanced":
            g.check("Advanced... opens the dialog", g.drive("page-button", 1023, env=env)["rc"] == 0)
            dump = g.drive("wait-window", "dump", env=env)
            g.check("the dialog lists the 32 lines of the sector", dump.get("items.1022") == "32", repr(dump))
            g.shot_beside_sheet("hard-disk-advanced-dialog", "dump", env=env)
            g.check("OK closes the dialog", g.drive("ok", "dump", env=env)["rc"] == 0)
        g.drive("press", 2, env=env)
        g.check("%s: Cancel ends the viewer" % mode, g.finish(30))
    g.wine("reg", "delete", ADVANCED_KEY, "/v", "Hdd_AdvancedMode", "/f")
