"""The real Power Options page on the default notebook in the three languages, one screenshot
each, and the column widths it stores when the sheet is closed with OK."""
import time


def group(g):
    for lang, title in (("en_US", "Power Options"), ("fr_FR", "Options d'alimentation"), ("ja_JP", "電源オプション")):
        env, sheet = g.open_pages("power", ["Facet08"], lang=lang)
        if not sheet:
            continue
        g.check("power %s: the page title" % lang, sheet.get("titles") == title, sheet.get("titles"))
        time.sleep(0.5)
        g.shot("page-power-options-" + lang, g.drive("sheet", env=env))
        # OK (button 1) stores the widths under the module's own key.
        g.drive("press", 1, env=env)
        g.check("power %s: OK ends the viewer" % lang, g.finish(30))
        query = g.wine("reg", "query", r"HKCU\Software\Mirelta\quarro\Facet08", "/v", "ColumnW01", env=env)
        g.check("power %s: the widths are stored" % lang, b"ColumnW01" in query.stdout, repr(query.stdout))
