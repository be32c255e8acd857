#!/usr/bin/env python3
"""A page that shows a plugin's pedal face as the MOD
boards' interface fills it: the bundle's Turtle read through sordi, the
icon template and the stylesheet filled as Mustache templates with the
documented names (brand, label, controls.N with symbol, name, ranges and
scalePoints, effect.ports.audio.input / output, ns, cns), resources under
/resources/ taken from the modgui folder, and a small script that sets each
widget to its port's value: a film's frame, the selector's label, the
footswitch and the light. The script reports what it found into the page
(the element #report, as JSON) for the test to read from the DOM.

usage: modgui-page.py BUNDLE_DIR PLUGIN_URI OUT.html [--scale S] [symbol=value ...]"""
import html
import json
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bundle_graph import LV2, MODGUI, PPROPS, RDF_TYPE, RDF_VALUE, RDFS_LABEL, Graph  # noqa: E402


def number(text):
    v = float(text)
    return int(v) if v == int(v) else v


def context(bundle, uri):
    g = Graph(bundle)
    gui, face = g.face(uri)
    if gui is None:
        sys.exit(f"{uri}: no modgui:gui")
    ports = {}
    audio = {"input": [], "output": []}
    for port in g.objects(uri, LV2 + "port"):
        symbol = g.one(port, LV2 + "symbol")
        types = g.objects(port, RDF_TYPE)
        entry = {"symbol": symbol, "name": g.one(port, LV2 + "name"), "index": int(g.one(port, LV2 + "index"))}
        if LV2 + "AudioPort" in types:
            audio["input" if LV2 + "InputPort" in types else "output"].append(entry)
            continue
        entry["ranges"] = {k: number(g.one(port, LV2 + k, "0")) for k in ("minimum", "maximum", "default")}
        points = [{"label": g.one(sp, RDFS_LABEL), "value": number(g.one(sp, RDF_VALUE))}
                  for sp in g.objects(port, LV2 + "scalePoint")]
        entry["scalePoints"] = sorted(points, key=lambda p: p["value"])
        entry["enumeration"] = bool(points)
        entry["logarithmic"] = PPROPS + "logarithmic" in g.objects(port, LV2 + "portProperty")
        ports[symbol] = entry
    for side in audio.values():
        side.sort(key=lambda e: e["index"])
    if [place for place, _, _ in face] != list(range(len(face))):
        sys.exit("the face's lv2:index values are not 0, 1, 2 ...")
    controls = []
    for _, symbol, title in face:
        if symbol not in ports:
            sys.exit(f"the face names {symbol}, which the plugin has no control port for")
        controls.append(dict(ports[symbol], name=title))
    resources = g.one(gui, MODGUI + "resourcesDirectory")
    return {
        "brand": g.one(gui, MODGUI + "brand", ""),
        "label": g.one(gui, MODGUI + "label", ""),
        "controls": controls,
        "effect": {"ports": {"audio": audio}},
        "ns": "",
        "cns": "_brummkiste_page",
    }, g.one(gui, MODGUI + "iconTemplate"), g.one(gui, MODGUI + "stylesheet"), resources, ports


# ---- a small Mustache: variables, triple mustaches, sections, inverted
# sections, dotted names with list indices ----
TAG = re.compile(r"{{(\{[^}]*\}|[#^/]?[^}]*)}}\}?")


def lookup(stack, name):
    if name == ".":
        return stack[-1]
    head, *rest = name.split(".")
    for frame in reversed(stack):
        if isinstance(frame, dict) and head in frame:
            value = frame[head]
            break
    else:
        return None
    for part in rest:
        if isinstance(value, list) and part.isdigit():
            value = value[int(part)] if int(part) < len(value) else None
        elif isinstance(value, dict):
            value = value.get(part)
        else:
            return None
    return value


def render(template, stack):
    out, pos = [], 0
    while True:
        m = TAG.search(template, pos)
        if not m:
            out.append(template[pos:])
            return "".join(out)
        out.append(template[pos:m.start()])
        tag = m.group(1).strip()
        if tag.startswith("{"):
            value = lookup(stack, tag.strip("{} "))
            out.append("" if value is None else str(value))
            pos = m.end()
        elif tag[0] in "#^":
            name = tag[1:].strip()
            depth, scan = 1, m.end()
            while depth:
                inner = TAG.search(template, scan)
                if not inner:
                    sys.exit(f"section {name} is not closed")
                t = inner.group(1).strip()
                if t[:1] in "#^" and t[1:].strip() == name:
                    depth += 1
                elif t == "/" + name:
                    depth -= 1
                scan = inner.end()
            body = template[m.end():inner.start()]
            value = lookup(stack, name)
            items = value if isinstance(value, list) else ([value] if value else [])
            if tag[0] == "^":
                out.append(render(body, stack) if not items else "")
            else:
                for item in items:
                    out.append(render(body, stack + [item]))
            pos = scan
        elif tag.startswith("/"):
            sys.exit(f"{tag} closes nothing")
        else:
            value = lookup(stack, tag)
            out.append(html.escape("" if value is None else str(value)))
            pos = m.end()


SCRIPT = """
<script>
const report = {errors: [], knobs: [], selectors: [], footswitch: 0, light: 0, images: []};
window.addEventListener('error', e => report.errors.push(String(e.message || e.target.src || e)), true);
const values = %VALUES%;
const ports = %PORTS%;
function frameOf(symbol, frames) {
  const r = ports[symbol].ranges, v = values[symbol];
  // A logarithmic control turns in equal steps of its ratio.
  const t = Math.min(1, Math.max(0, ports[symbol].logarithmic
      ? Math.log(v / r.minimum) / Math.log(r.maximum / r.minimum)
      : (v - r.minimum) / (r.maximum - r.minimum)));
  return Math.round(t * (frames - 1));
}
function setFilm(el, img) {
  const symbol = el.getAttribute('mod-port-symbol');
  const size = el.clientHeight;
  const frames = Math.max(1, Math.round(img.naturalWidth / size));
  el.style.backgroundPosition = (-frameOf(symbol, frames) * size) + 'px 0';
  report.knobs.push({symbol: symbol, frames: frames, frame: frameOf(symbol, frames)});
}
function imageOf(el) {
  const m = getComputedStyle(el).backgroundImage.match(/url\\("?(.*?)"?\\)/);
  return m ? m[1] : null;
}
function load(src) {
  return new Promise((ok, fail) => {
    const img = new Image();
    img.onload = () => { report.images.push(src.split('/').pop()); ok(img); };
    img.onerror = () => { report.errors.push('image not found: ' + src); fail(src); };
    img.src = src;
  });
}
async function fill() {
  const pedal = document.querySelector('.mod-pedal');
  const films = [...document.querySelectorAll('[mod-role=input-control-port][mod-widget=film]')];
  for (const el of films) {
    const src = imageOf(el);
    if (!src) { report.errors.push('no film image: ' + el.getAttribute('mod-port-symbol')); continue; }
    setFilm(el, await load(src));
  }
  for (const el of document.querySelectorAll('.mod-enumerated[mod-role=input-control-port]')) {
    const symbol = el.getAttribute('mod-port-symbol');
    let shown = null;
    for (const o of el.querySelectorAll('[mod-role=enumeration-option]')) {
      const on = Number(o.getAttribute('mod-port-value')) === Math.trunc(values[symbol]);
      o.classList.toggle('selected', on);
      if (on) shown = o.textContent.trim();
    }
    el.querySelector('[mod-role=input-control-value]').textContent = shown;
    report.selectors.push({symbol: symbol, shows: shown});
  }
  const on = values.enabled >= 0.5;
  for (const el of document.querySelectorAll('[mod-role=bypass]')) {
    el.classList.toggle('on', on); el.classList.toggle('off', !on); report.footswitch++;
    const src = imageOf(el); if (src) await load(src);
  }
  for (const el of document.querySelectorAll('[mod-role=bypass-light]')) {
    el.classList.toggle('on', on); el.classList.toggle('off', !on); report.light++;
  }
  const box = pedal.getBoundingClientRect();
  report.pedal = {width: Math.round(box.width), height: Math.round(box.height)};
  report.done = true;
  document.getElementById('report').textContent = JSON.stringify(report);
}
fill().catch(e => { report.errors.push(String(e)); document.getElementById('report').textContent = JSON.stringify(report); });
</script>
"""


def main():
    args = sys.argv[1:]
    if len(args) < 3:
        sys.exit(__doc__)
    bundle, uri, out = os.path.abspath(args[0]), args[1], args[2]
    scale = 1.0
    settings = args[3:]
    if settings[:1] == ["--scale"]:
        scale, settings = float(settings[1]), settings[2:]
    ctx, icon, css, resources, ports = context(bundle, uri)
    for path in (icon, css, resources):
        if not path or not path.startswith("file://") or not os.path.exists(path[7:]):
            sys.exit(f"{uri}: missing modgui file {path}")
    values = {s: p["ranges"]["default"] for s, p in ports.items()}
    for setting in settings:
        symbol, value = setting.split("=", 1)
        if symbol not in values:
            sys.exit(f"no control {symbol}")
        values[symbol] = float(value)
    resource_url = resources.rstrip("/") + "/"
    body = render(open(icon[7:]).read(), [ctx]).replace("/resources/", resource_url)
    style = render(open(css[7:]).read(), [ctx]).replace("/resources/", resource_url)
    page = f"""<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>{html.escape(ctx["label"])}</title>
<style>
html, body {{ margin: 0; background: transparent; }}
#stage {{ position: absolute; left: {24 * scale}px; top: {8 * scale}px; transform: scale({scale});
          transform-origin: 0 0; }}
#report {{ display: none; }}
</style>
<style>{style}</style></head>
<body><div id="stage">{body}</div><pre id="report"></pre>
{SCRIPT.replace("%VALUES%", json.dumps(values)).replace("%PORTS%", json.dumps(ports))}
</body></html>
"""
    with open(out, "w") as f:
        f.write(page)


if __name__ == "__main__":
    main()
