#!/usr/bin/env python3
"""The bundle's presets, typed once: writes bundle/presets.ttl (every preset
with every control, in banks) and the presets' entries of
bundle/manifest.ttl.in from the table below. Controls a preset does not
name take the family's values (REVERB or ECHO), then the plugin's declared
defaults (read from the control table). Each preset's figures were
measured with the sound analysis (docs/sound.md); the preset_sound test
holds them to their limits.

usage: make-presets.py [--check] SOURCE_DIR
  --check: exit 1 if the files differ from what the table gives."""
import os
import re
import sys

# The plugin's URI, from the identity header.
URI = re.search(r'#define BRUMMKISTE_PLUGIN_URI "([^"]*)"',
                open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "control",
                                  "identity.h")).read()).group(1)

BANKS = [
    ("rooms", "Rooms"), ("chambers", "Chambers"), ("halls", "Halls"), ("plates", "Plates"),
    ("ambience", "Ambience"), ("special", "Special"), ("echoes", "Echoes"),
]

# What a clean, wide reverb starts from: full width, the tanks' reads
# moving, paths crowded toward the short end and diffused for a quick
# build-up, gentle damping (the broadband decay stays near the control).
REVERB = {
    "dry_db": -1.5, "wet_b_db": 0.0, "width": 100.0, "jitter": 30.0, "shape": -100.0,
    "diffusion_pct": 85.0, "mod_depth": 2.0, "delay_mix": 0.0, "delay_feedback": 0.0,
    "delay_ms": 20.0, "xfade_ms": 20.0, "pitch_0": 0.0, "pitch_1": 0.0, "pitch_2": 0.0,
    "pitch_3": 0.0, "hp_low": 15.0, "hp_high": 30.0, "lp_low": 20000.0, "lp_high": 20000.0,
    "tank_mod": 50.0,
}
# Delay lines only: the tanks are not heard.
ECHO = dict(REVERB, mode_sel=0.0, diffusion_pct=0.0, tank_mod=0.0, width=80.0, shape=0.0)

# label, bank, comment, family, values
PRESETS = [
    ("Small room", "rooms", "A tight, bright room for drums and voices.", REVERB,
     dict(mode_sel=1, wet_a_db=-23, decay_ms=700, size_min=3, size_max=14)),
    ("Drum room", "rooms", "A lively wooden room that puts drums in a space.", REVERB,
     dict(mode_sel=1, wet_a_db=-26, decay_ms=900, size_min=3.5, size_max=17)),
    ("Vocal booth", "rooms", "A small, dry booth: voices close up, just off the wall.", REVERB,
     dict(mode_sel=1, wet_a_db=-19, decay_ms=450, size_min=3, size_max=10)),
    ("Studio live room", "rooms", "A medium live room with an even, natural tail.", REVERB,
     dict(mode_sel=1, wet_a_db=-21, decay_ms=1200, size_min=4, size_max=20)),
    ("Echo chamber", "chambers", "A reflective concrete chamber: dense and a little hard.", REVERB,
     dict(mode_sel=1, wet_a_db=-23, decay_ms=1600, size_min=4, size_max=25)),
    ("Stone chamber", "chambers", "A deep stone chamber that blooms slowly and rounds off.", REVERB,
     dict(mode_sel=2, wet_a_db=-32, decay_ms=2200, size_min=5, size_max=26, lp_high=9000, tank_mod=65,
          jitter=45)),
    ("Bright chamber", "chambers", "An open, airy chamber for strings and acoustic guitar.", REVERB,
     dict(mode_sel=1, wet_a_db=-23, decay_ms=1400, size_min=4, size_max=22)),
    ("Small hall", "halls", "A small recital hall, warm and close.", REVERB,
     dict(mode_sel=2, wet_a_db=-36, decay_ms=1800, size_min=5, size_max=30, lp_high=10000)),
    ("Concert hall", "halls", "A classic concert hall: smooth, wide and even.", REVERB,
     dict(mode_sel=2, wet_a_db=-27, decay_ms=2600, size_min=8, size_max=45, lp_high=9000)),
    ("Large hall", "halls", "A wide concert hall with a long, soft tail.", REVERB,
     dict(mode_sel=2, wet_a_db=-29, decay_ms=3800, size_min=10, size_max=60, lp_high=8000)),
    ("Cascaded cathedral", "halls", "Tanks in series: reverb of reverb, a huge stone space.", REVERB,
     dict(mode_sel=3, wet_a_db=-43, decay_ms=6000, size_min=5, size_max=80, lp_low=12000,
          lp_high=4000, hp_low=60, hp_high=150, jitter=50, tank_mod=100)),
    ("Dark plate", "plates", "Dense and smooth like a plate, with dark, rounded highs.", REVERB,
     dict(mode_sel=2, wet_a_db=-33, decay_ms=2600, size_min=5, size_max=20, lp_low=14000,
          lp_high=6000, tank_mod=100)),
    ("Bright plate", "plates", "A shimmering steel plate for snares and vocals.", REVERB,
     dict(mode_sel=2, wet_a_db=-27, decay_ms=2000, size_min=4, size_max=18, lp_high=14000)),
    ("Vocal plate", "plates", "A short, sweet plate that sits behind a voice.", REVERB,
     dict(mode_sel=2, wet_a_db=-27, decay_ms=1500, size_min=4, size_max=16, lp_high=11000)),
    ("Wide ambience", "ambience", "Short, very wide early reflections that open up a dry mix.", REVERB,
     dict(mode_sel=1, wet_a_db=-20, decay_ms=500, size_min=3, size_max=10)),
    ("Soft ambience", "ambience", "A gentle sense of space around a mix, hardly heard as reverb.",
     REVERB, dict(mode_sel=1, wet_a_db=-32, decay_ms=800, size_min=3.5, size_max=14, tank_mod=75)),
    ("Open air", "ambience", "An airy, open space: a wide bloom with a quick fade.", REVERB,
     dict(mode_sel=1, wet_a_db=-24, decay_ms=1000, size_min=4, size_max=18)),
    ("Frozen pad", "special", "Freeze: whatever comes in sustains for ever. Play a chord, then stop.",
     REVERB, dict(mode_sel=1, wet_a_db=-39, decay_ms=200000, size_min=3, size_max=35,
                  hp_low=10, hp_high=10, lp_low=20000, lp_high=20000)),
    ("Shimmer", "special", "Octave-up pitch delay lines feeding a long tail.", REVERB,
     dict(mode_sel=4, wet_a_db=-32, decay_ms=8000, size_min=10, size_max=70, pitch_0=12,
          pitch_1=12, pitch_2=12, pitch_3=7, delay_mix=70, delay_feedback=45, delay_ms=300,
          xfade_ms=40, mod_depth=10, lp_high=12000)),
    ("Endless cave", "special", "A vast, dark cave whose tail takes half a minute to die.", REVERB,
     dict(mode_sel=2, wet_a_db=-39, decay_ms=12000, size_min=12, size_max=80, lp_high=7000)),
    ("Slapback", "echoes", "Delay lines only: a short rockabilly slap with a hint of doubling.", ECHO,
     dict(dry_db=-2.5, wet_a_db=-17, decay_ms=1000, size_min=10, size_max=50, mod_depth=3,
          delay_mix=60, delay_feedback=15, delay_ms=110)),
    ("Tape echo", "echoes", "Repeating echoes that wobble a little, like a worn tape loop.", ECHO,
     dict(dry_db=-2.5, wet_a_db=-15, decay_ms=1000, mod_depth=12, delay_mix=55, delay_feedback=45,
          delay_ms=340)),
    ("Doubler", "echoes", "A close, slightly detuned double that thickens a voice or a guitar.",
     ECHO, dict(dry_db=-2.5, wet_a_db=-16, decay_ms=1000, mod_depth=25, delay_mix=70,
                delay_feedback=0, delay_ms=25)),
    ("Pitch echoes", "echoes", "Echoes that climb a fifth and an octave as they repeat.", ECHO,
     dict(dry_db=-2.5, wet_a_db=-16, decay_ms=1000, mod_depth=4, delay_mix=60, delay_feedback=40,
          delay_ms=260, pitch_0=12, pitch_1=7, pitch_2=0, pitch_3=-12, xfade_ms=30)),
]

BEGIN = "# ---- presets: written by tools/make-presets.py ----\n"
END = "# ---- end of presets ----\n"


def slug(label):
    return re.sub(r"[^a-z0-9]+", "-", label.lower()).strip("-")


def declared_controls(source_dir):
    """(symbol, default) of every control, in port order, from the control
    table (control/control_table.h)."""
    table = open(f"{source_dir}/control/control_table.h").read()
    rows = re.findall(r'\{PORT_[A-Z_0-9]+, "([a-z_0-9]+)", "[^"]*", PORT_KIND_CONTROL_IN,\s*'
                      r'(-?[0-9.]+), (-?[0-9.]+),', table)
    if not rows:
        sys.exit("control/control_table.h: no controls found")
    return [(sym, float(default)) for sym, _, default in rows]


def number(v):
    return f"{float(v):.1f}" if float(v) == round(float(v), 1) else repr(float(v))


def presets_ttl(controls):
    out = ["@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .",
           "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .",
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .", "",
           "# Written by tools/make-presets.py from its table: edit that, then run it.", ""]
    for key, label in BANKS:
        out += [f"<{URI}#bank-{key}>", "\ta pset:Bank ;", f'\trdfs:label "{label}" .', ""]
    for label, bank, comment, family, values in PRESETS:
        full = {}
        for sym, default in controls:
            if sym == "enabled":
                continue  # presets leave the host's bypass alone
            full[sym] = values.get(sym, family.get(sym, default))
        unknown = set(values) - set(full)
        if unknown:
            sys.exit(f"{label}: unknown controls {sorted(unknown)}")
        out += [f"<{URI}#preset-{slug(label)}>", "\ta pset:Preset ;",
                f"\tlv2:appliesTo <{URI}> ,", f"\t\t<{URI}-stereo> ;",
                f'\trdfs:label "{label}" ;', f'\trdfs:comment "{comment}" ;',
                f"\tpset:bank <{URI}#bank-{bank}> ;", "\tlv2:port ["]
        ports = [f'\t\tlv2:symbol "{sym}" ;\n\t\tpset:value {number(v)}' for sym, v in full.items()]
        out.append("\n\t] , [\n".join(ports))
        out += ["\t] .", ""]
    return "\n".join(out)


def manifest_entries():
    out = [BEGIN]
    for label, *_ in PRESETS:
        out.append(f"<{URI}#preset-{slug(label)}>\n\ta pset:Preset ;\n\tlv2:appliesTo <{URI}> ,\n"
                   f"\t\t<{URI}-stereo> ;\n\trdfs:seeAlso <presets.ttl> .\n\n")
    out.append(END)
    return "".join(out)


def main():
    args = sys.argv[1:]
    check = "--check" in args
    args = [a for a in args if a != "--check"]
    if len(args) != 1:
        sys.exit(__doc__)
    source = args[0]
    ttl_path = f"{source}/bundle/presets.ttl"
    manifest_path = f"{source}/bundle/manifest.ttl.in"
    ttl = presets_ttl(declared_controls(source))
    manifest = open(manifest_path).read()
    if BEGIN not in manifest:
        # The first run: the manifest's preset entries start at the first preset.
        first = manifest.index(f"<{URI}#preset-")
        manifest = manifest[:first] + BEGIN + END
    start, end = manifest.index(BEGIN), manifest.index(END) + len(END)
    manifest = manifest[:start] + manifest_entries() + manifest[end:]
    if check:
        same = open(ttl_path).read() == ttl and open(manifest_path).read() == manifest
        if not same:
            print("bundle/presets.ttl or bundle/manifest.ttl.in is not what tools/make-presets.py writes")
        sys.exit(0 if same else 1)
    open(ttl_path, "w").write(ttl)
    open(manifest_path, "w").write(manifest)


if __name__ == "__main__":
    main()
