"""The real Drivers and Programs pages on the default notebook, one screenshot each."""
import time


def group(g):
    env, sheet = g.open_pages("lists", ["Facet01", "Facet02", "Facet03"])
    if not sheet:
        return
    g.check("their titles", sheet.get("titles") == "Drivers|Programs1|Programs2", sheet.get("titles"))
    for index, name in enumerate(("drivers", "programs1", "programs2")):
        g.drive("select", index, env=env)
        time.sleep(0.5)
        g.shot("page-" + name, g.drive("sheet", env=env))
    g.drive("press", 2, env=env)
    g.check("Cancel ends the viewer", g.finish(30))
