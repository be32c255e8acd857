#!/usr/bin/env python3
"""Writes the factory presets of the VST3 and CLAP plugins as a C++ header
from the bundle's presets.ttl, so that every format ships the same presets:
each preset's label and its (symbol, value) pairs in file order. The values
are written as the Turtle decimals they are, read as double and narrowed to
float by the plugin, as an LV2 host reads them.

usage: make-preset-table.py presets.ttl factory_presets.h"""
import re
import sys

src = open(sys.argv[1]).read()
blocks = re.split(r"\n(?=<[^>]+>\s*\n\s*a pset:Preset)", src)
presets = []
for block in blocks:
    if "a pset:Preset" not in block:
        continue
    label = re.search(r'rdfs:label "([^"\\]*)"', block)
    pairs = re.findall(r'lv2:symbol "([a-z_0-9]+)" ;\s*pset:value (-?[0-9]+(?:\.[0-9]+)?(?:[eE]-?[0-9]+)?)',
                       block)
    if not label or not pairs:
        sys.exit(f"{sys.argv[1]}: a preset without label or values")
    presets.append((label.group(1), pairs))
if not presets:
    sys.exit(f"{sys.argv[1]}: no presets")

out = ["// Generated from bundle/presets.ttl by tools/make-preset-table.py; do not edit.",
       "#pragma once", "",
       "typedef struct {", "    const char* symbol;", "    double value;", "} PresetValue;", "",
       "typedef struct {", "    const char* label;", "    int count;",
       f"    PresetValue values[{max(len(p) for _, p in presets)}];", "} FactoryPreset;", "",
       f"inline constexpr int FACTORY_PRESET_COUNT = {len(presets)};", "",
       "inline constexpr FactoryPreset FACTORY_PRESETS[FACTORY_PRESET_COUNT] = {"]
for label, pairs in presets:
    out.append(f'    {{"{label}", {len(pairs)}, {{')
    for symbol, value in pairs:
        out.append(f'        {{"{symbol}", {value if ("." in value or "e" in value.lower()) else value + ".0"}}},')
    out.append("    }},")
out.append("};")
open(sys.argv[2], "w").write("\n".join(out) + "\n")
