"""The real SMBIOS page on the default notebook, its tree expanded, in English, French and Japanese."""
import time

TREE = 6004


def group(g):
    titles = {"en_US": "SMBIOS Data", "fr_FR": "Données SMBIOS", "ja_JP": "SMBIOS データ"}
    for lang, title in titles.items():
        env, sheet = g.open_pages("smbios", ["Facet09"], lang=lang)
        if not sheet:
            continue
        g.check("smbios %s: the page's title" % lang, sheet.get("titles") == title, sheet.get("titles"))
        expanded = g.drive("expand-tree", TREE, env=env)
        # The default notebook has well over a hundred rows, each a leaf.
        g.check("smbios %s: the whole tree is there" % lang, int(expanded.get("items", "0")) > 100, repr(expanded))
        time.sleep(0.5)
        g.shot("page-smbios-" + lang.split("_")[0], g.drive("sheet", env=env))
        g.drive("press", 2, env=env)
        g.check("smbios %s: Cancel ends the viewer" % lang, g.finish(30))
