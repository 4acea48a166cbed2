"""The real PC Status page on the default notebook: a screenshot in each language, and the
refresh timer read back from the list view: a helper process started after the page opened
appears under "Processes" within two ticks and goes after it has ended."""
import os
import subprocess
import time

WINE = "/usr/lib/wine/wine64"
TICKS = 2.5  # two ticks of the viewer's 1000 ms period, and a little


def processes(g, env):
    """The entries under the "Processes" row, as the list view shows them."""
    out = subprocess.run([WINE, os.path.join(g.build, "tests", "gui_driver.exe"), "list-items"], env=env,
                         capture_output=True, timeout=60).stdout.decode("utf-8", "replace")
    rows = [line[4:].rstrip("\r") for line in out.splitlines() if line.startswith("row=")]
    titles = [i for i, row in enumerate(rows) if row.split("|", 1)[0] in ("Processes", "Processus", "プロセス")]
    return rows, (rows[titles[-1] + 1:] if titles else [])


def wait_for(g, env, present, seconds):
    end = time.time() + seconds
    while True:
        _, entries = processes(g, env)
        found = any("hold_mutex.exe" in row for row in entries)
        if found == present or time.time() > end:
            return found, entries
        time.sleep(0.2)


def group(g):
    for lang, suffix in (("en_US", "en"), ("fr_FR", "fr"), ("ja_JP", "ja")):
        env, sheet = g.open_pages("pcstatus", ["Facet06"], lang=lang)
        if not sheet:
            continue
        g.shot("page-pc-status-" + suffix, g.drive("sheet", env=env))
        if lang == "en_US":
            values, before = processes(g, env)
            g.check("the page lists processes", len(before) > 0, repr(values))
            helper = subprocess.Popen([WINE, os.path.join(g.build, "tests", "hold_mutex.exe"), "QuarroPcStatusTick",
                                       "Z:\\tmp\\quarro-pcstatus-tick.ready", "3"], env=env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            started = time.time()
            found, entries = wait_for(g, env, True, TICKS)
            g.check("a process started after the page opened appears within two ticks", found, repr(entries))
            helper.wait(timeout=30)
            gone, entries = wait_for(g, env, False, TICKS)
            g.check("it goes from the list after it has ended", not gone, repr(entries))
            print("     appeared and went in %.1f s" % (time.time() - started))
        g.drive("press", 2, env=env)
        g.check("Cancel ends the viewer (%s)" % lang, g.finish(30))
