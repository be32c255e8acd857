#!/usr/bin/env python3
"""Writes the description of the stereo-input variant from the mono plugin's
Turtle file: the same controls in the same order, one index higher, behind
four audio ports (in_l, in_r, out_l, out_r), under the variant's URI and name.

usage: make-stereo-ttl.py MONO.ttl STEREO.ttl"""
import re
import sys

MONO = "http://brummkiste.audio/plugins/brummkiste-tiefgarten"
STEREO = MONO + "-stereo"

src = open(sys.argv[1]).read()
out = src

# The input group: a stereo pair instead of one channel.
out = out.replace(f"<{MONO}#in>\n\ta pg:MonoGroup ,", f"<{MONO}#in>\n\ta pg:StereoGroup ,")
for name in ("", "#in", "#out"):
    out = out.replace(f"<{MONO}{name}>", f"<{STEREO}{name}>")
out = out.replace('doap:name "Brummkiste Tiefgarten" ;', 'doap:name "Brummkiste Tiefgarten Stereo" ;')
# Pedal boards show at most 16 characters.
out = out.replace('mod:label "Tiefgarten" ;', 'mod:label "Tiefgarten St" ;')
out = re.sub(r'rdfs:comment "A mono-in, stereo-out reverb:',
             'rdfs:comment "A stereo-in, stereo-out reverb for sends and buses: the mid signal feeds',
             out, count=1)

out = out.replace('rdfs:comment "Level of the unprocessed input in both outputs."',
                  'rdfs:comment "Level of the unprocessed input, each side in its own output."')


def audio_port(index, symbol, name, direction, channel):
    return (f"[\n\t\ta lv2:AudioPort ,\n\t\t\tlv2:{direction}Port ;\n\t\tlv2:index {index} ;\n"
            f"\t\tlv2:symbol \"{symbol}\" ;\n\t\tlv2:name \"{name}\" ;\n"
            f"\t\tpg:group <{STEREO}#{'in' if direction == 'Input' else 'out'}> ;\n"
            f"\t\tlv2:designation pg:{channel}\n\t]")


# Control ports move up by one index.
start = out.index("lv2:port [")
first_control = out.rindex("[", 0, out.index("lv2:index 3 ;"))
controls = re.sub(r"lv2:index (\d+) ;", lambda m: f"lv2:index {int(m.group(1)) + 1} ;",
                  out[first_control:])
ports = " , ".join([
    audio_port(0, "in_l", "In left", "Input", "left"),
    audio_port(1, "in_r", "In right", "Input", "right"),
    audio_port(2, "out_l", "Out left", "Output", "left"),
    audio_port(3, "out_r", "Out right", "Output", "right"),
])
out = out[:start] + "lv2:port " + ports + " , " + controls
open(sys.argv[2], "w").write(out)
