"""The real Glance.exe under Wine and Xvfb. A topmost window of coloured bars (tests/win/tools/
colour_bars.cpp) stands on the screen; Glance copies the screen into "quarro.bmp" in the Wine
user's documents folder (or the "DebugSelectDrive000" folder). The file is checked byte by byte
(headers, palette, size, stride, bottom-up rows) and its pixels decoded: every bar must hold the
palette entry that GDI's colour matching gives its colour. The message boxes of the modes 0, 1 and
2 and the overwrite question are found and answered by gui_driver; a second instance brings the
first one's box forward and copies nothing. The copy itself, as PNG, joins the screenshots."""
import getpass
import os
import struct
import subprocess
import time

import screenshot

CAPTION = "Quarro (Screen Copy)"
KEY = r"HKLM\SOFTWARE\Wow6432Node\Mirelta\QUARRO"  # the 32-bit view the i686 build reads
# Exact palette colours, colours between entries, and black (which GDI's five-bit step moves).
BARS = ["FF0000", "00FF00", "0000FF", "FFFFFF", "000000", "006000", "C86432", "808080", "0A8CDC", "FFFF00"]
BARS_RECT = (0, 744, 1280, 280)  # left, top, width, height: below notepad's window
SAVED = 'The copy of the screen was saved as a "quarro.bmp" file in the "%s" folder.'
REPLACE = ('The file in which the copy of the screen is to be saved already exists. \\nDo you want to replace the '
           '"quarro.bmp" file in the "%s" folder?')
FAILED = "A copy of the screen could not be saved as a file."


def screen_index(palette, colour):
    """GDI's matching: each channel to the middle of its five-bit step, then the nearest entry
    (squared distance, the lowest index on a tie)."""
    r, g, b = [(int(colour[i:i + 2], 16) & ~7) + 4 for i in (0, 2, 4)]
    best, best_distance = 0, None
    for index, (pr, pg, pb) in enumerate(palette):
        distance = (pr - r) ** 2 + (pg - g) ** 2 + (pb - b) ** 2
        if best_distance is None or distance < best_distance:
            best, best_distance = index, distance
    return best


def expected_palette():
    """The palette the documentation promises, computed here on its own: fixed entries, the cube
    without its corners, 34 greys halving the widest gap."""
    low = [(0, 0, 0)] + [(0, v, 0) for v in (64, 96, 128, 160, 192, 224)]
    high = [(0, 255, 0), (0, 0, 255), (0, 255, 255), (255, 0, 0), (255, 255, 0), (255, 0, 255), (255, 255, 255)]
    levels = [0, 51, 102, 153, 204, 255]
    cube = [(r, g, b) for r in levels for g in levels for b in levels if (r, g, b) not in low + high]
    greys, added = list(levels), []
    while len(low) + len(cube) + len(added) + len(high) < 256:
        greys.sort()
        width, at = max((greys[i + 1] - greys[i], -i) for i in range(len(greys) - 1))
        added.append(greys[-at] + width // 2)
        greys.append(added[-1])
    return low + cube + [(v, v, v) for v in sorted(added)] + high


def check_bitmap(g, name, data, width, height):
    """Headers, colour table, size, stride; returns the rows top-down (lists of indices) or None."""
    stride = (width + 3) & ~3
    ok = g.check("%s: file size 1078 + stride x height" % name, len(data) == 1078 + stride * height,
                 "%d for %dx%d" % (len(data), width, height))
    if not ok or len(data) < 1078:
        return None
    magic, size, reserved1, reserved2, offset = struct.unpack("<2sIHHI", data[:14])
    g.check("%s: file header" % name, (magic, size, reserved1, reserved2, offset) == (b"BM", len(data), 0, 0, 1078),
            repr((magic, size, reserved1, reserved2, offset)))
    info = struct.unpack("<IiiHHIIiiII", data[14:54])
    g.check("%s: information header" % name, info[:6] == (40, width, height, 1, 8, 0) and info[6] in (0, stride * height)
            and info[9] in (0, 256) and info[10] in (0, 256), repr(info))
    table = [struct.unpack("<BBBB", data[54 + 4 * i:58 + 4 * i]) for i in range(256)]
    palette = [(r, gr, b) for b, gr, r, _ in table]
    g.check("%s: colour table blue, green, red, 0 with the documented palette" % name,
            palette == expected_palette() and all(t[3] == 0 for t in table))
    rows = [data[1078 + y * stride:1078 + y * stride + width] for y in range(height)]
    g.check("%s: row padding is zero" % name,
            all(data[1078 + y * stride + width:1078 + (y + 1) * stride] == b"\0" * (stride - width) for y in range(height)))
    return palette, list(reversed(rows))  # bottom-up in the file


def check_bars(g, name, palette, rows):
    """The middle of every bar in both halves of the bars window (screen coordinates = picture
    coordinates): the bar's colour matched onto the palette."""
    left, top, width, height = BARS_RECT
    n = len(BARS)
    wrong = []
    for half in (0, 1):
        y = top + height * (2 * half + 1) // 4
        for i in range(n):
            colour = BARS[i] if half == 0 else BARS[n - 1 - i]
            x = left + width * (2 * i + 1) // (2 * n)
            want = screen_index(palette, colour)
            for dx, dy in ((0, 0), (-20, -25), (20, 25)):
                got = rows[y + dy][x + dx]
                if got != want:
                    wrong.append("%s at %d,%d: %d, not %d" % (colour, x + dx, y + dy, got, want))
    g.check("%s: the bars' colours at their places, top half and reversed bottom half" % name, not wrong,
            "; ".join(wrong[:6]))


def save_png(path, palette, rows):
    screenshot._png(path, len(rows[0]), len(rows),
                    [b"".join(bytes(palette[i]) for i in row) for row in rows])


def group(g):
    env = g.env
    g.set_winver("win7")
    glance = os.path.join(g.build, "bin", "Glance.exe")
    prefix = os.environ["WINEPREFIX"]
    documents = os.path.join(prefix, "drive_c", "users", getpass.getuser(), "Documents")
    target = os.path.join(documents, "quarro.bmp")
    debug = os.path.join(prefix, "drive_c", "glancedebug")
    os.makedirs(debug, exist_ok=True)
    if os.path.islink(documents):  # never write into the real home folder
        os.unlink(documents)
    os.makedirs(documents, exist_ok=True)
    shell = g.drive("shell-string", 9227, env=env)
    name = shell.get("text") or "My Documents"

    left, top, width, height = BARS_RECT
    notepad = subprocess.Popen(["/usr/lib/wine/wine64", "notepad"], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    time.sleep(1)
    bars = subprocess.Popen(["/usr/lib/wine/wine64", os.path.join(g.build, "tests", "colour_bars.exe"),
                             str(left), str(top), str(width), str(height)] + BARS,
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        g.check("the bars window appears", g.drive("activate", "QuarroColourBars", env=env)["rc"] == 0)
        time.sleep(1.5)

        def start():
            g.viewer = subprocess.Popen(["/usr/lib/wine/wine64", glance], env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

        def box(expected, answer, what):
            shown = g.drive("box", CAPTION, 20000, env=env)
            g.check("%s: the box says what it should" % what, shown.get("message") == expected,
                    repr(shown.get("message")))
            g.check("%s: answered %s" % (what, answer), g.drive("box-answer", CAPTION, answer, env=env)["rc"] == 0)
            return shown

        def mode(value):
            if value is None:
                g.wine("reg", "delete", KEY, "/v", "BMDispMessage000", "/f")
            else:
                g.reg_dword(KEY, "BMDispMessage000", value)

        # Mode 1 (no value), no file yet: saved, and said so.
        mode(None)
        start()
        box(SAVED % name, "ok", "first copy")
        g.check("first copy: Glance ends", g.finish(30))
        with open(target, "rb") as f:
            data = f.read()
        checked = check_bitmap(g, "first copy", data, 1280, 1024)
        if checked:
            palette, rows = checked
            check_bars(g, "first copy", palette, rows)
            path = os.path.join(g.shots, "glance-capture.png")
            save_png(path, palette, rows)
            print("     capture: %s" % path)

        # Mode 1, the file exists: No keeps it, Yes replaces it.
        with open(target, "wb") as f:
            f.write(b"old")
        start()
        box(REPLACE % name, "no", "existing file, No")
        g.check("existing file, No: Glance ends without another box", g.finish(30))
        g.check("existing file, No: the file is kept", open(target, "rb").read() == b"old")

        # A second instance while the first asks: the first one's box comes forward, nothing copied.
        start()
        first = g.viewer
        g.drive("box", CAPTION, 20000, env=env)
        g.drive("activate", "QuarroColourBars", env=env)
        g.viewer = subprocess.Popen(["/usr/lib/wine/wine64", glance], env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
        g.check("second instance: ends by itself", g.finish(30))
        g.viewer = first
        shown = box(REPLACE % name, "yes", "existing file, Yes after a second instance")
        g.check("second instance: the first one's box is in front", shown.get("foreground") == "1", repr(shown))
        box(SAVED % name, "ok", "existing file, Yes")
        g.check("existing file, Yes: Glance ends", g.finish(30))
        g.check("existing file, Yes: replaced by a copy", len(open(target, "rb").read()) == len(data))

        # Modes 0 and 2 replace without asking and are silent on success.
        for value in (0, 2):
            with open(target, "wb") as f:
                f.write(b"old")
            mode(value)
            start()
            g.check("mode %d: ends without a box" % value, g.finish(30))
            g.check("mode %d: replaced" % value, open(target, "rb").read()[:2] == b"BM")

        # The debug folder takes the file; the messages still name the documents folder.
        mode(None)
        g.wine("reg", "add", KEY, "/v", "DebugSelectDrive000", "/d", "C:\\glancedebug", "/f")
        start()
        box(SAVED % name, "ok", "debug folder")
        g.check("debug folder: Glance ends", g.finish(30))
        checked = check_bitmap(g, "debug folder copy", open(os.path.join(debug, "quarro.bmp"), "rb").read(), 1280, 1024)
        if checked:
            check_bars(g, "debug folder copy", *checked)

        # A folder that cannot be written: failure reported in mode 2, silent in mode 0.
        g.wine("reg", "add", KEY, "/v", "DebugSelectDrive000", "/d", "C:\\no\\such\\folder", "/f")
        mode(2)
        start()
        box(FAILED, "ok", "mode 2, no such folder")
        g.check("mode 2, no such folder: Glance ends", g.finish(30))
        mode(0)
        start()
        g.check("mode 0, no such folder: ends without a box", g.finish(30))
        g.wine("reg", "delete", KEY, "/v", "DebugSelectDrive000", "/f")
    finally:
        for process in (bars, notepad):
            process.kill()
            process.wait()
