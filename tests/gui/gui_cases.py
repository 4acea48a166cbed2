#!/usr/bin/env python3
"""The interactive viewer under Wine and an X display: the real Almanac.exe with test modules named
Facet01 ... Facet09 in a folder of its own, driven by tests/win/tools/gui_driver.cpp (window finding,
messages, clicks, answers), checked through what the test modules record (QUARRO_TEST_MODULE_LOG),
the files written, the registry and Wine's service control manager. Screen shots go to
build/win64/screenshots/.

Run under a display (CTest wraps it in xvfb-run). WINEPREFIX names the prepared test prefix.
usage: gui_cases.py --build BUILD_DIR --source SOURCE_DIR [--only GROUP] (groups: sheet, start,
service, languages, and one per file of pages/: the real pages, see page_groups)
"""
import argparse
import glob
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "report"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from report_cases import header, section  # noqa: E402
import screenshot  # noqa: E402

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
ALL_NINE = {"Facet0%d" % (i + 1): "TestList" + letter for i, letter in enumerate("ABCDEFGHI")}
NAMES = ["Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot", "Golf", "Hotel", "India"]
VIEWER_KEY = r"HKCU\Software\Mirelta\Quarro"


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Gui:
    def __init__(self, build, source):
        self.build = build
        self.source = source
        self.work = tempfile.mkdtemp(prefix="gui-cases-", dir=build)
        self.shots = os.path.join(build, "screenshots")
        os.makedirs(self.shots, exist_ok=True)
        self.failures = []
        self.env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        for name in ("LANG", "LC_ALL", "LC_MESSAGES", "LANGUAGE"):
            self.env.pop(name, None)
        self.viewer = None
        self.winver = None

    # ---- plumbing ---------------------------------------------------------------------------
    def check(self, name, condition, detail=""):
        if condition:
            print("ok   %s" % name)
        else:
            print("FAIL %s %s" % (name, detail))
            self.failures.append(name)
            # The whole screen at the moment of the failure, for whoever reads the log.
            folder = os.path.join(self.shots, "failures")
            os.makedirs(folder, exist_ok=True)
            screenshot.grab(os.path.join(folder, "failure-%02d.png" % len(self.failures)))
            print("     screen: %s" % os.path.join(folder, "failure-%02d.png" % len(self.failures)))
        sys.stdout.flush()
        return condition

    @staticmethod
    def run(command, env, timeout):
        """Runs `command` with its output in files, not pipes: a Wine process may start the
        wineserver or a system process that inherits its handles and outlives it."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            result = subprocess.run(command, env=env, stdout=out, stderr=err, stdin=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(command, result.returncode, out.read(), err.read())

    def wine(self, *args, env=None, timeout=120):
        return self.run([WINE] + list(args), env or self.env, timeout)

    def restart_wine(self, env=None):
        """A fresh wineserver: its desktop belongs to this display and its locale to `env`."""
        subprocess.run([WINESERVER, "-k"], env=self.env, capture_output=True)
        time.sleep(1)
        self.run([WINE, "wineboot"], env or self.env, 120)
        self.winver = None
        self.wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f", env=env)
        self.wine("regedit", "/S", winpath(os.path.join(self.source, "machines", "default", "registry.reg")), env=env)

    def set_winver(self, version):
        if self.winver != version:
            self.wine("winecfg", "-v", version)
            self.winver = version

    def reg_delete(self, key):
        self.wine("reg", "delete", key, "/f")

    def reg_dword(self, key, name, value):
        self.wine("reg", "add", key, "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f")

    def reg_query(self, key, name):
        out = self.wine("reg", "query", key, "/v", name).stdout.decode("utf-8", "replace")
        for line in out.splitlines():
            parts = line.split()
            if len(parts) >= 3 and parts[0] == name:
                return int(parts[-1], 0)
        return None

    def layout(self, case, modules):
        app = os.path.join(self.work, case)
        os.makedirs(app)
        shutil.copy2(os.path.join(self.build, "bin", "Almanac.exe"), app)
        for facet, module in modules.items():
            shutil.copy2(os.path.join(self.build, "testmodules", module + ".dll"), os.path.join(app, facet + ".dll"))
        return app

    def start(self, app, prompt_log=None, extra_env=None, env=None):
        log = os.path.join(app, "modules.log")
        environment = dict(env or self.env)
        environment["QUARRO_MACHINE"] = winpath(os.path.join(self.source, "machines", "default"))
        environment["QUARRO_TEST_MODULE_LOG"] = winpath(log)
        if prompt_log:
            environment["QUARRO_PROMPT_LOG"] = winpath(prompt_log)
        environment.update(extra_env or {})
        self.viewer = subprocess.Popen([WINE, os.path.join(app, "Almanac.exe")], cwd=app, env=environment,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return log

    def open_pages(self, case, modules, lang="en_US", machine=None, extra_env=None):
        """Starts the real Almanac.exe with the real `modules` (names of DLLs in bin/, e.g.
        ["Facet04"]) in the language `lang` (en_US, fr_FR, ja_JP) on the snapshot `machine`
        (default: machines/default). Returns (environment, sheet values), the sheet values
        empty when the sheet did not appear. End it with drive("press", 2, env=env) and finish()."""
        env = locale_env(self, lang) if lang != "en_US" else self.env
        self.restart_wine(env)
        self.set_winver("win7")
        app = os.path.join(self.work, "%s-%s" % (case, lang))
        os.makedirs(app, exist_ok=True)
        shutil.copy2(os.path.join(self.build, "bin", "Almanac.exe"), app)
        for name in modules:
            shutil.copy2(os.path.join(self.build, "bin", name + ".dll"), app)
        extra = dict(extra_env or {})
        if machine:
            extra["QUARRO_MACHINE"] = winpath(machine)
        self.start(app, env=env, extra_env=extra)
        sheet = self.drive("sheet", 30000, env=env)
        if not self.check("%s %s: the sheet appears" % (case, lang), sheet["rc"] == 0, repr(sheet)):
            self.finish(1)
            return env, {}
        return env, sheet

    def finish(self, timeout=30):
        """Waits for the viewer to end; kills it when it does not."""
        if not self.viewer:
            return True
        try:
            self.viewer.wait(timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            self.viewer.kill()
            self.viewer.wait()
            return False
        finally:
            self.viewer = None

    def drive(self, *args, env=None, timeout=60):
        driver = os.path.join(self.build, "tests", "gui_driver.exe")
        result = self.run([WINE, driver] + [str(a) for a in args], env or self.env, timeout)
        values = {"rc": result.returncode}
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            if "=" in line:
                key, value = line.split("=", 1)
                values[key.strip()] = value.rstrip("\r")
        return values

    def shot(self, name, values, margin=0):
        time.sleep(0.8)  # let the window paint itself
        rect = tuple(int(v) for v in values.get("window", "0,0,0,0").split(","))
        if os.environ.get("QUARRO_GUI_FULL_SHOTS"):
            rect = (0, 0, 0, 0)
        path = os.path.join(self.shots, name + ".png")
        self.check("screenshot %s.png" % name, screenshot.grab(path, rect if rect[2] > rect[0] else None, margin))

    def shot_beside_sheet(self, name, kind, env=None):
        """A screenshot of a dialog moved beside the sheet first. Under Wine without a window
        manager a top-level window that lies wholly inside another one is not shown on the X
        screen (it stays black there), although it works and paints; the dialogs centred over the
        sheet are such windows."""
        sheet = self.drive("sheet", env=env)
        right = int(sheet.get("window", "0,0,0,0").split(",")[2])
        moved = self.drive("move-window", kind, right + 20, 40, env=env)
        self.check("%s moves beside the sheet for its picture" % kind, moved["rc"] == 0, repr(moved))
        self.shot(name, moved)

    @staticmethod
    def read_log(path):
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8", errors="replace") as f:
            return [line.rstrip("\r\n") for line in f if line.strip()]

    def wait_for_file(self, path, timeout=20):
        end = time.time() + timeout
        while time.time() < end:
            if os.path.exists(path) and os.path.getsize(path) > 0:
                time.sleep(0.5)
                return True
            time.sleep(0.2)
        return False


def rect(values, key):
    return tuple(int(v) for v in values[key].split(","))


def size(values, key):
    return tuple(int(v) for v in values[key].split(","))


def calls(log, name):
    """The calls the module `name` received, in order, after its set-up."""
    return [line.split(" ", 1)[1] for line in log if line.split(" ", 1)[0] == name]


# ---- the sheet: order, start page, layout, power, save, About, Cancel -------------------------
def group_sheet(g):
    g.set_winver("win7")
    g.reg_delete(r"HKCU\Software\Mirelta")
    app = g.layout("sheet", ALL_NINE)
    log = g.start(app)
    sheet = g.drive("sheet")
    if not g.check("the sheet appears", sheet["rc"] == 0, repr(sheet)):
        g.finish(1)
        return
    g.check("page titles in load order", sheet.get("titles") == "|".join(NAMES), sheet.get("titles"))
    g.check("Facet04's page is the default start page", sheet.get("selected") == "3", sheet.get("selected"))
    g.check("caption is string 102", sheet.get("caption") == "Quarro", sheet.get("caption"))
    g.check("the sheet is resizable and has a taskbar button",
            sheet.get("thickframe") == "1" and sheet.get("appwindow") == "1")
    g.shot("sheet", sheet)
    records = [line for line in g.read_log(log) if " InitTabDLL " in line]
    g.check("each module's record carries its page index",
            records == ["%s InitTabDLL %d 1" % (n, i) for i, n in enumerate(NAMES)], repr(records))
    g.check("SetupPropertyPage comes before InitTabDLL",
            all(calls(g.read_log(log), n)[:2] == ["SetupPropertyPage", "InitTabDLL %d 1" % i] for i, n in enumerate(NAMES)))

    # Power and outside notifications reach every module while the sheet exists.
    before = len(g.read_log(log))
    g.drive("send", "0x218", 0)
    g.drive("send", "0x218", 5)
    g.drive("send", "0x83F0", 0)
    after = g.read_log(log)[before:]
    g.check("a suspend query reaches every module as 100, in page order",
            [l for l in after if l.endswith(" 100")] == ["%s CommandMessage 100" % n for n in NAMES], repr(after))
    g.check("other power events are not forwarded", not any(l.endswith(" CommandMessage 5") for l in after))
    g.check("0x83F0 is forwarded as 112", [l for l in after if l.endswith(" 112")] == ["%s CommandMessage 112" % n for n in NAMES])
    state = g.drive("service-state")
    g.check("WM_APP+103 writes the state at start (service absent: 0)", state.get("state") == "0", repr(state))

    # Save this page.
    # Upper-case ".TXT": Wine's item dialog appends the default extension to any other spelling.
    target = os.path.join(app, "out", "page.TXT")
    os.makedirs(os.path.dirname(target))
    before = len(g.read_log(log))
    g.drive("page-button", 1016)
    question = g.drive("wait-window", "range")
    g.check("Save asks for the range", question["rc"] == 0 and question.get("control.1003") == "&Save only the information displayed"
            and question.get("control.1004") == "Save a&ll the information" and question.get("caption") == "Quarro", repr(question))
    g.check("the range starts on the page shown", question.get("checked.1003") == "1")
    g.shot_beside_sheet("save-range", "range")
    g.drive("range", "displayed", "ok")
    dialog = g.drive("wait-window", "file")
    g.check("then the save dialog", dialog["rc"] == 0, repr(dialog))
    g.shot("save-file-dialog", dialog)
    g.drive("save-as", winpath(target))
    written = g.wait_for_file(target)
    expected = header(b"1.0.0.0", b"2026") + section("Delta", 3, 2)
    content = open(target, "rb").read() if written else b""
    if not g.check("the page's report is written", content == expected, repr(content[:200])):
        print("   files:", [os.path.join(d, f) for d, _, fs in os.walk(g.work) for f in fs if not f.endswith(".dll")])
    saved = g.read_log(log)[before:]
    g.check("the module is bracketed by 1 and 2 around its text",
            saved == ["Delta CommandMessage 1", "Delta GetStringData 0", "Delta CommandMessage 2"], repr(saved))

    # Save everything.
    target_all = os.path.join(app, "out", "all.TXT")
    g.drive("page-button", 1016)
    g.drive("range", "all", "ok")
    g.drive("save-as", winpath(target_all))
    written = g.wait_for_file(target_all)
    expected = header(b"1.0.0.0", b"2026") + b"".join(section(nm, i, 2 if nm != "Alpha" else 3) for i, nm in enumerate(NAMES))
    content = open(target_all, "rb").read() if written else b""
    g.check("all pages are written in page order", content == expected, "%d vs %d bytes" % (len(content), len(expected)))

    # Cancel on the range question writes nothing.
    before = len(g.read_log(log))
    g.drive("page-button", 1016)
    g.drive("range", "displayed", "cancel")
    time.sleep(1)
    g.check("Cancel on the range question does nothing", g.drive("wait-window", "file", 1500)["rc"] == 1
            and not any("GetStringData" in l for l in g.read_log(log)[before:]))

    # About.
    g.drive("page-button", 1017)
    about = g.drive("wait-window", "about")
    g.check("About shows the product line with Version", about.get("control.1004") == "Quarro 1.0.0.0", repr(about))
    g.check("and the maker line with CopyrightYear", about.get("control.1005") == "Mirelta Corporation (C) 2026")
    g.check("About caption", about.get("caption") == "About Quarro", about.get("caption"))
    g.shot("about", about)
    g.drive("about-ok")
    time.sleep(0.5)
    g.drive("about-text", "Test build 42")
    extra = g.drive("wait-window", "about")
    g.check("an ANSI extra line is shown", extra.get("control.1002") == "Test build 42", repr(extra.get("control.1002")))
    g.shot("about-extra", extra)
    g.drive("about-ok")
    time.sleep(0.5)
    g.drive("page-button", 1017)
    again = g.drive("wait-window", "about")
    g.check("the extra line stays for later showings", again.get("control.1002") == "Test build 42")
    g.drive("about-ok")
    time.sleep(0.5)

    # Resizing (last: under Wine, windows the viewer opens after a resize from another process
    # are not painted any more, which would spoil the screen shots above): larger moves OK/Cancel to the bottom-right corner and grows the page.
    first = g.drive("layout")
    w0, h0 = rect(first, "window")[2] - rect(first, "window")[0], rect(first, "window")[3] - rect(first, "window")[1]
    bigger = g.drive("resize", w0 + 240, h0 + 160)
    W, H = size(bigger, "client")
    tab = rect(bigger, "tab")
    ok = rect(bigger, "ok")
    cancel = rect(bigger, "cancel")
    m, n = tab[0], tab[1]
    w, h = ok[2] - ok[0], ok[3] - ok[1]
    g.check("Cancel sits in the bottom-right corner", cancel[2] == W - m and cancel[3] == H - n, repr((cancel, W, H, m, n)))
    g.check("OK sits left of Cancel", ok[0] == W - 2 * (w + m) and ok[1] == H - n - h, repr((ok, W, H)))
    g.check("the tab control keeps its margins", tab == (m, n, W - m, H - 2 * n - h), repr(tab))
    page0, page1 = rect(first, "page"), rect(bigger, "page")
    # (The tab rows may merge when the sheet gets wider, so the page's top can move up.)
    g.check("the page grows with the sheet",
            (page1[2] - page1[0]) - (page0[2] - page0[0]) == 240 and page1[3] - page0[3] == 160 and page1[1] <= page0[1],
            repr((page0, page1)))
    pw, ph = size(bigger, "page_client")
    lst, save, about = rect(bigger, "list"), rect(bigger, "save"), rect(bigger, "about")
    g.check("the list keeps its corner and margins", lst[0] == rect(first, "list")[0] and lst[2] == pw - lst[0],
            repr((lst, pw)))
    g.check("the page's buttons stay centred as a pair at the bottom",
            abs((pw // 2 - save[2]) - (about[0] - pw // 2)) <= 1 and save[1] == about[1]
            and ph - save[3] == size(first, "page_client")[1] - rect(first, "save")[3], repr((save, about, pw, ph)))
    g.shot("sheet-larger", bigger)
    smaller = g.drive("resize", 120, 90)
    sw = rect(smaller, "window")
    g.check("smaller stops at the first size", (sw[2] - sw[0], sw[3] - sw[1]) == (w0, h0), repr((sw, w0, h0)))
    # A page shown after the resize fits the sheet as well.
    g.drive("resize", w0 + 100, h0 + 60)
    g.drive("select", 6)
    shown = g.drive("layout")
    g.check("a page shown later gets the current layout",
            rect(shown, "page")[2] - rect(shown, "page")[0] == rect(g.drive("layout"), "page")[2] - rect(g.drive("layout"), "page")[0]
            and size(shown, "page_client")[0] - (size(first, "page_client")[0]) == 100, repr(shown.get("page_client")))
    g.drive("select", 3)

    # Cancel: 1 and TermTabDLL to every module, never 120; nothing saved.
    before = len(g.read_log(log))
    g.drive("press", 2)
    g.check("Cancel ends the program", g.finish(30))
    closing = g.read_log(log)[before:]
    g.check("Cancel sends 1 then TermTabDLL to every module in page order, never 120",
            closing == [x for nm in NAMES for x in ("%s CommandMessage 1" % nm, "%s TermTabDLL" % nm)], repr(closing))
    g.check("Cancel saves no placement", g.reg_query(VIEWER_KEY, "WinPosLeft") is None)
    after_end = g.drive("send", "0x218", 0)
    g.check("no window is left to receive power events", after_end["rc"] == 1)


# ---- OK, saved placement and start page, module rules -----------------------------------------
def group_start(g):
    g.set_winver("win7")
    g.reg_delete(r"HKCU\Software\Mirelta")
    app = g.layout("ok", ALL_NINE)
    log = g.start(app)
    g.drive("sheet")
    g.drive("select", 5)
    placed = g.drive("layout")
    g.drive("press", 1)
    g.check("OK ends the program", g.finish(30))
    lines = g.read_log(log)
    closing = [l for l in lines if "CommandMessage" in l or "TermTabDLL" in l]
    g.check("OK sends 120 then 1 then TermTabDLL to every module in page order",
            closing == [x for nm in NAMES for x in ("%s CommandMessage 120" % nm, "%s CommandMessage 1" % nm, "%s TermTabDLL" % nm)],
            repr(closing))
    window = rect(placed, "window")
    stored = [g.reg_query(VIEWER_KEY, v) for v in ("WinPosLeft", "WinPosTop", "WinPosRight", "WinPosBottom")]
    g.check("OK saves the placement", stored == list(window), repr((stored, window)))
    g.check("OK saves the page shown as StartPage", g.reg_query(VIEWER_KEY, "StartPage") == 5)
    g.check("OK stores the column widths of the list pages",
            g.reg_query(r"HKCU\Software\Mirelta\quarro\FacetTest", "ColumnW01") == 90)

    # The saved placement and page come back.
    g.reg_dword(r"HKCU\Software\Mirelta\quarro\FacetTest", "ColumnW01", 0)
    log = g.start(app)
    again = g.drive("sheet")
    g.check("a saved StartPage below the count wins over Facet04", again.get("selected") == "5", again.get("selected"))
    g.check("a saved rectangle on a monitor is used as it is", rect(again, "window") == window,
            repr((again.get("window"), window)))
    widths = g.drive("column-widths")
    g.check("a saved width 0 is used as read", widths.get("widths") == "200,0", repr(widths))
    g.drive("press", 2)
    g.finish(30)

    # A rectangle on no monitor: same size, centred in the work area; too large: top-left corner.
    w, h = window[2] - window[0], window[3] - window[1]
    for name, value in zip(("WinPosLeft", "WinPosTop", "WinPosRight", "WinPosBottom"), (5000, 5000, 5000 + w, 5000 + h)):
        g.reg_dword(VIEWER_KEY, name, value)
    g.start(app)
    off = g.drive("sheet")
    r = rect(off, "window")
    g.check("a rectangle on no monitor is centred with its size", (r[2] - r[0], r[3] - r[1]) == (w, h)
            and abs(r[0] - (1280 - w) // 2) <= 1 and r[1] > 0, repr(r))
    g.drive("press", 2)
    g.finish(30)
    for name, value in zip(("WinPosLeft", "WinPosTop", "WinPosRight", "WinPosBottom"), (6000, 6000, 7400, 7100)):
        g.reg_dword(VIEWER_KEY, name, value)
    g.start(app)
    big = g.drive("sheet")
    g.check("a window larger than the work area goes to its top-left corner", rect(big, "window")[:2] == (0, 0),
            big.get("window"))
    g.drive("press", 2)
    g.finish(30)

    # Without Facet03: eight pages, Facet04's page is index 2 and the default; StartPage 3 wins.
    g.reg_delete(r"HKCU\Software\Mirelta")
    eight = {k: v for k, v in ALL_NINE.items() if k != "Facet03"}
    app8 = g.layout("eight", eight)
    log = g.start(app8)
    s = g.drive("sheet")
    g.check("without Facet03 the sheet has eight pages", s.get("titles") == "|".join(n for n in NAMES if n != "Charlie"),
            s.get("titles"))
    g.check("Facet04 then has index 2 and is the default page", s.get("selected") == "2" and
            "Delta InitTabDLL 2 1" in g.read_log(log), s.get("selected"))
    g.drive("press", 2)
    g.finish(30)
    g.reg_dword(VIEWER_KEY, "StartPage", 3)
    g.start(app8)
    s = g.drive("sheet")
    g.check("StartPage 3 opens the fourth page", s.get("selected") == "3", s.get("selected"))
    g.drive("press", 2)
    g.finish(30)

    # Five pages with a refusing module: StartPage 7 is ignored; the refusing module gets
    # TermTabDLL but never CommandMessage.
    g.reg_dword(VIEWER_KEY, "StartPage", 7)
    five = {"Facet01": "TestListA", "Facet02": "TestRefuse", "Facet03": "TestListC", "Facet04": "TestListD",
            "Facet05": "TestListE", "Facet06": "TestListF"}
    app5 = g.layout("five", five)
    log = g.start(app5)
    s = g.drive("sheet")
    g.check("a module that refuses has no page", s.get("titles") == "Alpha|Charlie|Delta|Echo|Foxtrot", s.get("titles"))
    g.check("StartPage 7 of 5 is ignored", s.get("selected") == "2", s.get("selected"))
    g.drive("send", "0x218", 7)
    g.drive("press", 1)
    g.finish(30)
    lines = g.read_log(log)
    g.check("the refusing module is set up, refused, terminated and never called again",
            calls(lines, "Refuse") == ["SetupPropertyPage", "InitTabDLL 1 0", "TermTabDLL"], repr(calls(lines, "Refuse")))
    g.check("a resume event reaches the accepted modules as 103",
            [l for l in lines if l.endswith(" 103")] == ["%s CommandMessage 103" % nm for nm in ("Alpha", "Charlie", "Delta", "Echo", "Foxtrot")])


# ---- the watch service when OK is pressed ----------------------------------------------------
def sc(g, *args):
    return g.wine("sc", *args).stdout.decode("utf-8", "replace")


def service_status(g):
    """(current state, start type); Wine's sc has no "qc", so the start type comes from the
    service's registry key, which its service control manager keeps."""
    query = sc(g, "query", "Watchpost")
    state = next((int(l.split(":")[1].split()[0]) for l in query.splitlines() if "STATE" in l), None)
    start = g.reg_query(r"HKLM\System\CurrentControlSet\Services\Watchpost", "Start")
    return state, start


def wait_state(g, wanted, timeout=15):
    end = time.time() + timeout
    status = service_status(g)
    while status[0] != wanted and time.time() < end:
        time.sleep(0.5)
        status = service_status(g)
    return status


def group_service(g):
    g.reg_delete(r"HKCU\Software\Mirelta")
    service = os.path.join(g.work, "watchpost", "test_service.exe")
    os.makedirs(os.path.dirname(service))
    shutil.copy2(os.path.join(g.build, "tests", "test_service.exe"), service)
    sc(g, "stop", "Watchpost")
    sc(g, "delete", "Watchpost")
    created = sc(g, "create", "Watchpost", "binPath=", winpath(service), "start=", "demand")
    if not g.check("Watchpost is installed for the test", service_status(g) == (1, 3), created + repr(service_status(g))):
        return
    two = {"Facet01": "TestListA", "Facet04": "TestListD"}
    app = g.layout("service", two)
    try:
        # XP, stopped service, the hard-disk tab wishes it on: OK starts it and makes it automatic.
        g.set_winver("winxp64")
        prompts = os.path.join(app, "prompts-on.txt")
        g.start(app, prompt_log=prompts)
        g.drive("sheet")
        g.check("the state at start is handed out (stopped: 1)", g.drive("service-state").get("state") == "1")
        g.drive("post", "0x8066", 0)
        g.drive("press", 1)
        g.finish(30)
        g.check("XP, wish on: OK sets the service automatic and starts it", wait_state(g, 4) == (4, 2),
                repr(service_status(g)))
        g.check("and asks nothing", not os.path.exists(prompts) or open(prompts, "rb").read() == b"")

        # XP, running service, wish off, answer No: nothing changes.
        g.start(app)
        g.drive("sheet")
        g.check("the state at start is handed out (running: 4)", g.drive("service-state").get("state") == "4")
        g.drive("post", "0x8066", 1)
        g.drive("press", 1)
        box = g.drive("wait-window", "message")
        g.check("XP, wish off with the service running: question 108",
                box.get("caption") == "Quarro" and "automatic save function for hard disk" in box.get("control.65535", ""),
                repr(box))
        g.shot("question-108", box)
        g.drive("message", "no")
        g.finish(30)
        g.check("answered No: the service keeps running and automatic", service_status(g) == (4, 2), repr(service_status(g)))

        # Same, answered Yes (the prompt concern answers with the default button): stopped and disabled.
        prompts = os.path.join(app, "prompts-off.txt")
        g.start(app, prompt_log=prompts)
        g.drive("sheet")
        g.drive("post", "0x8066", 1)
        g.drive("press", 1)
        g.finish(30)
        text = open(prompts, "rb").read() if os.path.exists(prompts) else b""
        g.check("the question goes through the prompt concern as MB_YESNO with caption Quarro",
                text.startswith(b"Quarro\t4\tThe automatic save function for hard disk management information has been disabled."),
                repr(text))
        g.check("answered Yes: the service is disabled and stopped", wait_state(g, 1) == (1, 4), repr(service_status(g)))

        # Windows 7: the elevated object is asked instead; Wine has no elevation moniker, so the
        # call fails silently and the service is left as it is.
        g.set_winver("win7")
        prompts = os.path.join(app, "prompts-win7.txt")
        g.start(app, prompt_log=prompts)
        g.drive("sheet")
        g.drive("post", "0x8066", 0)
        g.drive("press", 1)
        g.finish(30)
        g.check("Windows 7: no direct start, nothing shown when the elevated object is not there",
                service_status(g) == (1, 4) and (not os.path.exists(prompts) or open(prompts, "rb").read() == b""),
                repr(service_status(g)))
    finally:
        g.finish(5)
        sc(g, "stop", "Watchpost")
        sc(g, "delete", "Watchpost")


# ---- languages --------------------------------------------------------------------------------
def locale_env(g, name):
    folder = os.path.join(g.build, "gui-locales")
    os.makedirs(folder, exist_ok=True)
    if not os.path.isdir(os.path.join(folder, name + ".UTF-8")):
        subprocess.run(["localedef", "-i", name, "-f", "UTF-8", os.path.join(folder, name + ".UTF-8")], capture_output=True)
    return dict(g.env, LOCPATH=folder, LANG=name + ".UTF-8", LC_ALL=name + ".UTF-8")


LANGUAGE_TEXTS = {
    "en_US": {"progress": "Retrieving information.", "about": "About Quarro", "save": "&Save"},
    "fr_FR": {"progress": "Récupération des informations.", "about": "À propos de Quarro", "save": "&Enregistrer"},
    "ja_JP": {"progress": "情報を取得しています。", "about": "Quarro のバージョン情報", "save": "保存(&S)"},
}


def group_languages(g):
    g.reg_delete(r"HKCU\Software\Mirelta")
    app = g.layout("languages", ALL_NINE)
    for lang, texts in LANGUAGE_TEXTS.items():
        env = locale_env(g, lang) if lang != "en_US" else g.env
        g.restart_wine(env)
        g.set_winver("win7")
        suffix = "" if lang == "en_US" else "-" + lang[:2]
        g.start(app, env=env, extra_env={"QUARRO_TEST_MODULE_DELAY_MS": "600"})
        progress = g.drive("wait-window", "progress", env=env)
        g.check("%s: progress window text" % lang, progress.get("control.1009") == texts["progress"], repr(progress))
        time.sleep(0.3)
        g.shot("progress" + suffix, progress)
        sheet = g.drive("sheet", 30000, env=env)
        time.sleep(0.5)
        g.shot("sheet" + suffix, sheet)
        g.drive("page-button", 1016, env=env)
        question = g.drive("wait-window", "range", env=env)
        g.shot_beside_sheet("save-range" + suffix, "range", env=env)
        g.drive("range", "displayed", "cancel", env=env)
        time.sleep(0.5)
        g.drive("page-button", 1017, env=env)
        about = g.drive("wait-window", "about", env=env)
        g.check("%s: About caption from the viewer's table" % lang, about.get("caption") == texts["about"],
                repr(about.get("caption")))
        g.shot("about" + suffix, about)
        g.drive("about-ok", env=env)
        time.sleep(0.5)
        g.drive("press", 2, env=env)
        g.check("%s: the viewer ends" % lang, g.finish(30))
    g.restart_wine()


GROUPS = [("sheet", group_sheet), ("start", group_start), ("service", group_service), ("languages", group_languages)]


def page_groups():
    """The groups of tests/gui/pages/: one file per page or program, each with `group(g)`. CMake
    runs each file as a test of its own in a Wine prefix of its own."""
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pages")
    groups = []
    for path in sorted(glob.glob(os.path.join(folder, "*.py"))):
        name = os.path.splitext(os.path.basename(path))[0]
        spec = importlib.util.spec_from_file_location("gui_page_" + name, path)
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
        groups.append((name, module.group))
    return groups


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--only")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        print("gui_cases: no DISPLAY (run under xvfb-run)")
        return 1
    g = Gui(os.path.abspath(args.build), os.path.abspath(args.source))
    g.restart_wine()
    try:
        for name, group in GROUPS + page_groups():
            if args.only and args.only != name:
                continue
            print("== %s" % name)
            try:
                group(g)
            except Exception as error:  # a broken step fails the group, not the run
                g.check("%s completes" % name, False, repr(error))
            g.finish(5)
    finally:
        subprocess.run([WINESERVER, "-k"], env=g.env, capture_output=True)
        shutil.rmtree(g.work, ignore_errors=True)
    if g.failures:
        print("%d failed: %s" % (len(g.failures), ", ".join(g.failures)))
        return 1
    print("all GUI checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
