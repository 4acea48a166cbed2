"""The Setup page, the viewer's default start page, on the default notebook in the three
languages: the first page shown, and its long values (OS description, Kestrel version) must not be
cut where the list could show them."""
import json
import os
import time


def write_version_doc(g):
    """The snapshot's "C:\\util\\version.doc" into the prefix: the page reads the real file."""
    with open(os.path.join(g.source, "machines", "default", "machine.json"), encoding="utf-8") as f:
        text = json.load(f)["systemInfo"]["files"]["C:\\util\\version.doc"]
    folder = os.path.join(os.environ["WINEPREFIX"], "drive_c", "util")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "version.doc"), "wb") as f:
        f.write(text.encode("cp1252"))


def group(g):
    write_version_doc(g)
    for lang, suffix in (("en_US", ""), ("fr_FR", "-fr"), ("ja_JP", "-ja")):
        env, sheet = g.open_pages("setup", ["Facet01", "Facet04"], lang=lang)
        if not sheet:
            continue
        titles = sheet.get("titles", "").split("|")
        g.check("%s: the Setup page is the page shown first" % lang,
                titles[1:] == ["[Setup]"] and sheet.get("selected") == "1", repr(sheet))
        time.sleep(0.5)
        g.shot("page-setup" + suffix, g.drive("sheet", env=env))
        g.drive("press", 2, env=env)
        g.check("%s: Cancel ends the viewer" % lang, g.finish(30))
