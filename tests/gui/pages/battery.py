"""The real battery page under Wine: one battery present and one absent, the values of a firmware
without battery functions (controller registers, mode 255), and a battery taken out and put back
between two refresh ticks, read back from the list view's rows."""
import os
import time

TICK = 4.0  # the page's refresh period in seconds


def read_rows(g, env):
    values = g.drive("list-rows", env=env)
    return [values.get("row%d" % i, "") for i in range(int(values.get("rows", "0")))]


def rows(g, env):
    """The list's rows, read until two reads agree: a refresh tick may fall between the driver's
    reading of the row count and of the texts."""
    found = read_rows(g, env)
    for _ in range(5):
        again = read_rows(g, env)
        if again == found:
            break
        found = again
    return found


def wait_rows(g, env, wanted, timeout):
    """The rows once `wanted(rows)` holds, or the last ones read when the time is up."""
    end = time.time() + timeout
    found = rows(g, env)
    while not wanted(found) and time.time() < end:
        time.sleep(0.5)
        found = rows(g, env)
    return found


def headings(found):
    return [r for r in found if r.startswith("Battery #")]


def open_battery(g, case, fixture, lang="en_US"):
    machine = os.path.join(g.source, "tests", "machines", fixture)
    env, sheet = g.open_pages(case, ["Facet07"], lang=lang, machine=machine)
    if not sheet:
        return None
    g.check("%s: the page is titled" % case, sheet.get("titles") in ("Battery Status", "État de la batterie",
                                                                   "バッテリーの状態"), sheet.get("titles"))
    g.drive("select", 0, env=env)
    return env


def close(g, env):
    g.drive("press", 2, env=env)
    g.check("Cancel ends the viewer", g.finish(30))


def group(g):
    env = open_battery(g, "battery-bay2", "battery-bay2-empty")
    if env:
        found = wait_rows(g, env, lambda r: len(headings(r)) == 2, 10)
        g.check("bay 2 empty: battery 1 with its rows, battery 2 Not Present",
                headings(found) == ["Battery #1|", "Battery #2|Not Present"] and found[-1] == "Battery #2|Not Present"
                and "  Temperature|28.1°C" in found, repr(found))
        g.drive("resize", 480, 460, env=env)  # room for both batteries in the picture
        g.shot("page-battery-present-absent", g.drive("sheet", env=env))
        close(g, env)

    env = open_battery(g, "battery-ec", "battery-ec")
    if env:
        found = wait_rows(g, env, lambda r: len(headings(r)) == 2, 10)
        g.check("mode 255: the controller's registers give battery 2's charge index at 0xCF:0xCE",
                "  Total Charge Index|57" in found and "  Battery ID|NB-VZSU73     12081707175" in found, repr(found))
        g.check("mode 255: relative capacities are bare numbers", "  Remaining Capacity|96" in found, repr(found))
        g.drive("resize", 480, 700, env=env)
        g.shot("page-battery-mode255", g.drive("sheet", env=env))
        close(g, env)

    env = open_battery(g, "battery-swap", "battery-swap")
    if env:
        full = wait_rows(g, env, lambda r: len(headings(r)) == 2, 10)
        per_battery = len(full) // 2
        g.check("swap: both batteries at first", len(full) == 2 * per_battery and full[per_battery] == "Battery #2|",
                repr(full))
        out = wait_rows(g, env, lambda r: "Battery #2|Not Present" in r, 3 * TICK)
        g.check("swap: battery 2 taken out shows Not Present and loses its rows",
                out == full[:per_battery] + ["Battery #2|Not Present"], repr(out))
        back = wait_rows(g, env, lambda r: "Battery #2|" in r and len(r) >= len(full), 5 * TICK)
        g.check("swap: battery 2 put back has its rows again, none twice and none stale", back == full, repr(back))
        close(g, env)
