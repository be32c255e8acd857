"""The bundle's Turtle files as the scripts read them: every statement,
through sordi (the LV2 hosts' own parser), as (subject, predicate, object)
strings: IRIs bare, literals without quotes or datatype, blank nodes named
apart per file. Imported by tools/modgui-page.py and the bundle's tests."""
import json
import os
import re
import subprocess

LV2 = "http://lv2plug.in/ns/lv2core#"
MOD = "http://moddevices.com/ns/mod#"
MODGUI = "http://moddevices.com/ns/modgui#"
DOAP = "http://usefulinc.com/ns/doap#"
FOAF = "http://xmlns.com/foaf/0.1/"
PSET = "http://lv2plug.in/ns/ext/presets#"
UNITS = "http://lv2plug.in/ns/extensions/units#"
PPROPS = "http://lv2plug.in/ns/ext/port-props#"
RDF_TYPE = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type"
RDF_VALUE = "http://www.w3.org/1999/02/22-rdf-syntax-ns#value"
RDFS_LABEL = "http://www.w3.org/2000/01/rdf-schema#label"
RDFS_COMMENT = "http://www.w3.org/2000/01/rdf-schema#comment"

TRIPLE = re.compile(r'^(\S+) <([^>]+)> (.+) \.$')


def triples(path):
    out = subprocess.run(["sordi", "file://" + path], check=True, capture_output=True, text=True).stdout
    blank = "_:" + os.path.basename(path) + ":"
    result = []
    for line in out.splitlines():
        m = TRIPLE.match(line)
        if not m:
            continue
        s, p, o = m.groups()
        s = blank + s[2:] if s.startswith("_:") else s.strip("<>")
        if o.startswith("_:"):
            o = blank + o[2:]
        elif o.startswith("<"):
            o = o[1:-1]
        elif o.startswith('"'):
            o = json.loads(o[:o.rindex('"') + 1])
        result.append((s, p, o))
    return result


class Graph:
    def __init__(self, bundle):
        self.st = []
        for name in sorted(os.listdir(bundle)):
            if name.endswith(".ttl"):
                self.st += triples(os.path.join(bundle, name))

    def objects(self, s, p):
        return [o for (ss, pp, o) in self.st if ss == s and pp == p]

    def one(self, s, p, default=None):
        found = self.objects(s, p)
        return found[0] if found else default

    def subjects(self, p, o):
        return [s for (s, pp, oo) in self.st if pp == p and oo == o]

    def face(self, uri):
        """The pedal face of a plugin: its modgui:gui node (None if it has
        none) and its controls as (place, symbol, title), in their order."""
        gui = self.one(uri, MODGUI + "gui")
        controls = sorted((int(self.one(n, LV2 + "index")), self.one(n, LV2 + "symbol"), self.one(n, LV2 + "name"))
                          for n in self.objects(gui, MODGUI + "port")) if gui else []
        return gui, controls
