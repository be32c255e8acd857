#!/usr/bin/env python3
"""What the MOD boards' plugin store asks of a bundle, as far as it can be
checked here: names (the brand at most 11 characters, the short label at
most 16, no underscores, the label without the brand), a description, a
valid version, a homepage, at least one preset, every control's range in
its unit (minimum below maximum, the default between, a logarithmic range
above zero, dB, ms, Hz, % and semitones within reason), and the pedal face:
every file it names there, a footswitch bound to the plugin's on/off.

usage: store_check.py BUNDLE_DIR"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from bundle_graph import (DOAP, FOAF, LV2, MOD, MODGUI, PPROPS, PSET, RDF_TYPE, RDFS_COMMENT,  # noqa: E402
                          UNITS, Graph)

# What a range may span in each unit.
UNIT_SPAN = {"db": (-200, 40), "ms": (0, 1e6), "hz": (0.001, 1e5), "pc": (-100, 100),
             "semitone12TET": (-48, 48), "m": (0, 1000)}

problems = []


def problem(text):
    problems.append(text)


def main():
    g = Graph(os.path.abspath(sys.argv[1]))
    objects, one = g.objects, g.one
    plugins = sorted(set(g.subjects(RDF_TYPE, LV2 + "Plugin")))
    if not plugins:
        problem("no plugin in the bundle")
    for uri in plugins:
        name = one(uri, DOAP + "name") or ""
        brand = one(uri, MOD + "brand") or ""
        label = one(uri, MOD + "label") or ""
        where = uri.rsplit("/", 1)[-1]
        if not name or "_" in name:
            problem(f"{where}: doap:name \"{name}\" is missing or has an underscore")
        if not brand or len(brand) > 11:
            problem(f"{where}: mod:brand \"{brand}\" is missing or longer than 11 characters")
        if not label or len(label) > 16 or "_" in label or brand.lower() in label.lower():
            problem(f"{where}: mod:label \"{label}\" is missing, longer than 16 characters, "
                    "has an underscore or repeats the brand")
        if not (one(uri, RDFS_COMMENT) or "").strip():
            problem(f"{where}: no description (rdfs:comment)")
        minor, micro = one(uri, LV2 + "minorVersion"), one(uri, LV2 + "microVersion")
        if not (minor and micro and minor.isdigit() and micro.isdigit()):
            problem(f"{where}: no valid lv2:minorVersion and lv2:microVersion")
        elif int(minor) % 2 or int(micro) % 2 or int(minor) == 0:
            problem(f"{where}: version 0.{minor}.{micro} reads as a development release")
        maintainer = one(uri, DOAP + "maintainer")
        if not (one(uri, DOAP + "homepage") or (maintainer and one(maintainer, FOAF + "homepage"))):
            problem(f"{where}: no homepage")
        presets = [s for s in g.subjects(LV2 + "appliesTo", uri) if PSET + "Preset" in objects(s, RDF_TYPE)]
        if not presets:
            problem(f"{where}: no preset")
        for port in objects(uri, LV2 + "port"):
            if LV2 + "ControlPort" not in objects(port, RDF_TYPE):
                continue
            symbol = one(port, LV2 + "symbol")
            try:
                low, default, high = (float(one(port, LV2 + k)) for k in ("minimum", "default", "maximum"))
            except (TypeError, ValueError):
                problem(f"{where}: {symbol} has no numeric minimum, default and maximum")
                continue
            if not low < high or not low <= default <= high:
                problem(f"{where}: {symbol}: {low} <= {default} <= {high} does not hold")
            if PPROPS + "logarithmic" in objects(port, LV2 + "portProperty") and not low > 0:
                problem(f"{where}: {symbol} is logarithmic from {low}")
            unit = one(port, UNITS + "unit")
            if unit:
                span = UNIT_SPAN.get(unit.rsplit("#", 1)[-1])
                if span is None:
                    problem(f"{where}: {symbol}: a unit the store does not show: {unit}")
                elif not (span[0] <= low and high <= span[1]):
                    problem(f"{where}: {symbol}: {low} ... {high} is no range in {unit.rsplit('#', 1)[-1]}")
        gui = one(uri, MODGUI + "gui")
        if not gui:
            problem(f"{where}: no pedal face (modgui:gui)")
            continue
        for key in ("resourcesDirectory", "iconTemplate", "stylesheet", "screenshot", "thumbnail"):
            path = one(gui, MODGUI + key) or ""
            if not path.startswith("file://") or not os.path.exists(path[7:]):
                problem(f"{where}: modgui:{key} names no file of the bundle: {path}")
        face_brand, face_label = one(gui, MODGUI + "brand") or "", one(gui, MODGUI + "label") or ""
        if face_brand != brand or face_label != label:
            problem(f"{where}: the face's brand and label differ from mod:brand and mod:label")
        template = one(gui, MODGUI + "iconTemplate") or ""
        if template.startswith("file://") and os.path.exists(template[7:]):
            if 'mod-role="bypass"' not in open(template[7:]).read():
                problem(f"{where}: the face has no footswitch (mod-role=\"bypass\")")
        enabled = [p for p in objects(uri, LV2 + "port") if one(p, LV2 + "designation") == LV2 + "enabled"]
        if len(enabled) != 1:
            problem(f"{where}: the footswitch needs one port designated lv2:enabled, found {len(enabled)}")
    if problems:
        for p in problems:
            print("store: " + p, file=sys.stderr)
        sys.exit(1)
    print(f"store criteria hold for {len(plugins)} plugins")


if __name__ == "__main__":
    main()
