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

    # Battery 2 is out from the first tick to the third and back from the fourth on. The rows are
    # watched until they are whole again after "Not Present"; every state seen must be one of the
    # two right ones (no row twice, no stale row), whenever the reads fall between the ticks.
    env = open_battery(g, "battery-swap", "battery-swap")
    if env:
        seen = []
        end = time.time() + 10 * TICK
        while time.time() < end:
            found = rows(g, env)
            if not seen or found != seen[-1]:
                seen.append(found)
            if len(seen) >= 2 and "Battery #2|Not Present" in seen[-2] and "Battery #2|" in found:
                break
            time.sleep(0.5)
        full = seen[-1]
        per_battery = full.index("Battery #2|") if "Battery #2|" in full else -1
        out = full[:per_battery] + ["Battery #2|Not Present"]
        g.check("swap: battery 2 was seen out, then back", len(seen) >= 2 and seen[-2] == out, repr(seen))
        g.check("swap: back, it has all its rows once", per_battery > 0 and len(full) == 2 * per_battery and
                full[per_battery + 1].startswith("  Battery Name|NB-VZSU73"), repr(full))
        g.check("swap: every state seen is whole or Not Present, nothing twice or stale",
                all(state in (full, out) for state in seen), repr(seen))
        close(g, env)
