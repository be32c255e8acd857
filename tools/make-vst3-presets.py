#!/usr/bin/env python3
"""Writes the bundle's presets (presets.ttl) as VST3 preset files, one per
preset and plugin variant, so that VST3 hosts list the same presets as LV2
hosts: OUT_DIR/<plugin name>/<preset label>.vstpreset.

A .vstpreset file holds the plugin's class id and its component state. The
state is the plugin's own saved form: "__dpf_parameters_begin__", then the
symbol and the value of each control (as the Turtle file writes it, so that
the plugin reads the same number an LV2 host reads), "__dpf_parameters_end__"
and the terminator, every string ending in a zero byte.

The same states, with each preset's label, bank and comment, also go into a
C++ header for the CLAP plugins, which offer them to CLAP hosts' preset
browsers, and for the JACK programs' --preset (--header).

usage: make-vst3-presets.py presets.ttl OUT_DIR "PLUGIN NAME=CODE" ...
       make-vst3-presets.py --header presets.ttl OUT.h
(CODE: the variant's four-character unique id)"""
import os
import re
import struct
import sys


def class_id(code):
    """The VST3 class id as the plugin's factory reports it: four 32-bit
    words in memory order (little-endian), "DPF ", "clas", the unique id
    (the four characters read as a big-endian number), 0."""
    words = [b"DPF ", b"clas", code.encode("ascii"), b"\0\0\0\0"]
    return "".join(w[::-1].hex().upper() for w in words)


def read_presets(path):
    src = open(path).read()
    banks = dict(re.findall(r'#bank-([a-z]+)>\s*a pset:Bank ;\s*rdfs:label "([^"\\]*)"', src))
    presets = []
    for block in re.split(r"\n(?=<[^>]+>\s*\n\s*a pset:Preset)", src):
        if "a pset:Preset" not in block:
            continue
        label = re.search(r'rdfs:label "([^"\\]*)"', block)
        comment = re.search(r'rdfs:comment "([^"\\]*)"', block)
        bank = re.search(r"pset:bank <[^>]*#bank-([a-z]+)>", block)
        pairs = re.findall(
            r'lv2:symbol "([a-z_0-9]+)" ;\s*pset:value (-?[0-9]+(?:\.[0-9]+)?(?:[eE]-?[0-9]+)?)', block)
        if not label or not pairs or "/" in label.group(1):
            sys.exit(f"{path}: a preset without a usable label or without values")
        presets.append((label.group(1), pairs, comment.group(1) if comment else "",
                        banks.get(bank.group(1), "") if bank else ""))
    if not presets:
        sys.exit(f"{path}: no presets")
    return presets


def state(pairs):
    parts = ["__dpf_parameters_begin__"]
    for symbol, value in pairs:
        parts += [symbol, value]
    parts += ["__dpf_parameters_end__", "\xfe"]
    return b"".join(p.encode("latin-1") + b"\0" for p in parts)


def vstpreset(class_id, component_state):
    header_size = 4 + 4 + 32 + 8
    list_offset = header_size + len(component_state)
    out = b"VST3" + struct.pack("<i", 1) + class_id.encode("ascii") + struct.pack("<q", list_offset)
    out += component_state
    out += b"List" + struct.pack("<i", 1)
    out += b"Comp" + struct.pack("<qq", header_size, len(component_state))
    return out


def c_string(data):
    """Every byte that is not a letter, digit or space as a three-digit octal
    escape, so that no escape runs into the next byte."""
    text = data.encode("utf-8") if isinstance(data, str) else data
    return '"' + "".join(chr(b) if (b < 128 and chr(b).isalnum()) or b == 32 else f"\\{b:03o}" for b in text) + '"'


def header(presets):
    out = ["// Written by tools/make-vst3-presets.py from presets.ttl at build time.", "#pragma once",
           "", "#include <cstddef>", "", "struct FactoryPreset {",
           "    const char* label;", "    const char* bank;", "    const char* comment;",
           "    const char* state;  // the saved state's bytes", "    size_t state_size;", "};", "",
           "inline constexpr FactoryPreset FACTORY_PRESETS[] = {"]
    for label, pairs, comment, bank in presets:
        data = state(pairs)
        out.append(f"    {{{c_string(label)}, {c_string(bank)}, {c_string(comment)},\n"
                   f"     {c_string(data)}, {len(data)}}},")
    out += ["};", ""]
    return "\n".join(out)


def main():
    if sys.argv[1] == "--header":
        with open(sys.argv[3], "w") as f:
            f.write(header(read_presets(sys.argv[2])))
        return
    presets = read_presets(sys.argv[1])
    for variant in sys.argv[3:]:
        name, code = variant.rsplit("=", 1)
        if len(code) != 4:
            sys.exit(f"{code}: a unique id has four characters")
        folder = os.path.join(sys.argv[2], name)
        os.makedirs(folder, exist_ok=True)
        for label, pairs, _, _ in presets:
            with open(os.path.join(folder, label + ".vstpreset"), "wb") as f:
                f.write(vstpreset(class_id(code), state(pairs)))


main()
