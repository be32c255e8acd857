#!/usr/bin/env bash
# The pedal face as a MOD user sees it: each plugin's template and
# stylesheet filled as the MOD interface fills them (tools/modgui-page.py),
# loaded in Debian's headless Chromium. The page must load without a script
# error or a missing picture, show one knob per knob the face declares (each
# on its port, its film strip read to the right frame), the mode as a
# selector showing the default mode's name, the footswitch and its light;
# and the bundle's screenshots must be of the face as it now renders.
#
# usage: modgui_check.sh BUNDLE_DIR
set -euo pipefail
bundle=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tools/script-lib.sh"
. "$here/../tools/modgui-chromium.sh"
command -v chromium >/dev/null || fail "Debian's chromium is not installed"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for key in PLUGIN_URI STEREO_URI; do
  uri=$(identity "$key")
  python3 "$here/../tools/modgui-page.py" "$bundle" "$uri" "$work/page.html"
  chromium_page --dump-dom "file://$work/page.html" >"$work/dom.html" || fail "chromium did not load the page"
  python3 - "$bundle" "$uri" "$work/dom.html" "$here/../tools" <<'EOF'
import html, json, re, struct, sys
bundle, uri, dom, tools = sys.argv[1:]
sys.path.insert(0, tools)
from bundle_graph import Graph
m = re.search(r'<pre id="report">(.*?)</pre>', open(dom).read(), re.S)
if not m or not m.group(1):
    sys.exit(f"{uri}: the page's script did not finish")
report = json.loads(html.unescape(m.group(1)))
if report["errors"]:
    sys.exit(f"{uri}: errors in the page: {report['errors']}")
# The face's declared controls, in their order, and which are selectors.
declared = [symbol for _, symbol, _ in Graph(bundle).face(uri)[1]]
selectors = [s["symbol"] for s in report["selectors"]]
knobs = [k["symbol"] for k in report["knobs"]]
if selectors != ["mode_sel"]:
    sys.exit(f"{uri}: selectors {selectors}, expected the mode alone")
if report["selectors"][0]["shows"] != "Four parallel tanks":
    sys.exit(f"{uri}: the mode selector shows {report['selectors'][0]['shows']!r}")
if knobs != [s for s in declared if s not in selectors]:
    sys.exit(f"{uri}: knobs on the page {knobs}, declared {declared}")
if any(k["frames"] != 65 for k in report["knobs"]):
    sys.exit(f"{uri}: a knob's film strip is not read as 65 frames: {report['knobs']}")
frame = {k["symbol"]: k["frame"] for k in report["knobs"]}
# Defaults: tank modulation off (the first frame), dry at 0 dB of -120 ... 6.
if frame["tank_mod"] != 0 or frame["dry_db"] != round(120 / 126 * 64):
    sys.exit(f"{uri}: knobs at the wrong frames: {frame}")
if report["footswitch"] != 1 or report["light"] != 1:
    sys.exit(f"{uri}: {report['footswitch']} footswitches, {report['light']} lights")
# The stored screenshot shows the face at its present size (with the jacks'
# margins the page leaves), the thumbnail at a quarter of it.
variant = "brummkiste-tiefgarten-stereo" if uri.endswith("-stereo") else "brummkiste-tiefgarten"
def size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    return struct.unpack(">II", head[16:24])
w, h = report["pedal"]["width"] + 48, report["pedal"]["height"] + 16
shot = size(f"{bundle}/modgui/screenshot-{variant}.png")
thumb = size(f"{bundle}/modgui/thumbnail-{variant}.png")
if shot != (w, h) or thumb != (w // 4, h // 4):
    sys.exit(f"{uri}: screenshot {shot} and thumbnail {thumb} are not of the face as it renders ({w}, {h}): "
             "run tools/modgui-pictures.sh")
print(f"{variant}: {len(knobs)} knobs, the mode selector, the footswitch; no script errors")
EOF
done
