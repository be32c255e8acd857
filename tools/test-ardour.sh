#!/usr/bin/env bash
# The host's bypass in a real host: Ardour 7, headless (its Lua session
# scripting on the dummy backend, fed a sine). A mono track with the mono
# plugin is exported once playing and once bypassed from the processor box;
# bypassed, both sides must carry the dry signal at the same level (a plugin
# without a designated enable port gets the input on the left only).
#
# usage: test-ardour.sh LV2_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
lv2_dir=$(cd "${1:-build/lv2}" && pwd)
tools/install-deps.sh ardour sox libsox-fmt-base
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A private home whose configuration shows Ardour's dummy backend.
mkdir -p "$work/home/.config/ardour7"
cat >"$work/home/.config/ardour7/config" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
  </Config>
</Ardour>
XML
level() { sox "$1" -n remix "$2" stats 2>&1 | awk '/RMS lev dB/{print $4}'; }
run() {
  rm -rf "$work/session" "$work/out"
  mkdir -p "$work/out"
  # ardour7-lua may crash when it closes the session, after the work is
  # done: the exported files decide.
  HOME="$work/home" SESSION_DIR="$work/session" OUT_DIR="$work/out" \
    PLUGIN_URI=http://brummkiste.audio/plugins/brummkiste-tiefgarten LV2_PATH="$lv2_dir" \
    timeout 180 stdbuf -o0 ardour7-lua tests/ardour/bypass.lua >"$work/ardour.log" 2>&1 || true
  [ -s "$work/out/active.wav" ] && [ -s "$work/out/bypassed.wav" ]
}
run || run || { tail -20 "$work/ardour.log"; echo "FAIL: Ardour exported nothing" >&2; exit 1; }
left=$(level "$work/out/bypassed.wav" 1)
right=$(level "$work/out/bypassed.wav" 2)
echo "Ardour, bypassed: left $left dBFS, right $right dBFS RMS"
echo "Ardour, playing:  left $(level "$work/out/active.wav" 1) dBFS, right $(level "$work/out/active.wav" 2) dBFS RMS"
awk -v l="$left" -v r="$right" 'BEGIN { d = l - r; if (d < 0) d = -d; exit !(l > -40 && d < 0.5) }' ||
  { echo "FAIL: Ardour's bypass does not keep the dry signal on both sides" >&2; exit 1; }
