#!/usr/bin/env bash
# Renders the pedal face of both plugins in headless Chromium, as the MOD
# boards' interface shows it, into the screenshot and thumbnail that the
# bundle's modgui.ttl names (bundle/modgui/) and the picture in docs/.
# Run after changing the face's template, stylesheet, pictures or controls.
#
# usage: tools/modgui-pictures.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/script-lib.sh
. tools/modgui-chromium.sh
bundle=${1:-build}/lv2/brummkiste-tiefgarten.lv2
[ -e "$bundle/modgui.ttl" ] || fail "build first: no $bundle/modgui.ttl"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The pedal and its jacks, and the thumbnail at a quarter of that.
width=432 height=468
for variant in brummkiste-tiefgarten brummkiste-tiefgarten-stereo; do
  uri=$(identity "$([ "$variant" = brummkiste-tiefgarten ] && echo PLUGIN_URI || echo STEREO_URI)")
  python3 tools/modgui-page.py "$bundle" "$uri" "$work/$variant.html"
  python3 tools/modgui-page.py "$bundle" "$uri" "$work/$variant-half.html" --scale 0.5
  chromium_page --default-background-color=00000000 --window-size=$width,$height \
    --screenshot="bundle/modgui/screenshot-$variant.png" "file://$work/$variant.html"
  # (Chromium draws at half its pixel size at the least: half a page at half.)
  chromium_page --default-background-color=00000000 --window-size=$((width / 2)),$((height / 2)) \
    --force-device-scale-factor=0.5 --screenshot="bundle/modgui/thumbnail-$variant.png" \
    "file://$work/$variant-half.html"
done
cp bundle/modgui/screenshot-brummkiste-tiefgarten.png docs/modgui-face.png
echo "pictures written: bundle/modgui/screenshot-*.png, thumbnail-*.png, docs/modgui-face.png"
