#!/usr/bin/env bash
# Opens the plugin in jalv.gtk3 (its window embedded through suil) in a
# virtual X server with a dummy JACK server, and takes a screenshot of it:
# out/jalv-window.png. A manual check of the window in a real host.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/script-lib.sh
tools/install-deps.sh jalv jackd2 xvfb xauth imagemagick x11-utils
build=${BUILD_DIR:-build}
[ -e "$build/lv2/brummkiste-tiefgarten.lv2/libbrummkiste-tiefgarten-ui.so" ] ||
  { echo "build the plugin and its window first (tools/test.sh or cmake)" >&2; exit 1; }
mkdir -p out
export LV2_PATH="$PWD/$build/lv2:/usr/lib/lv2"
xvfb-run -a -s "-screen 0 1600x1000x24" bash -c '
  jackd -d dummy -r 48000 -p 256 >/dev/null 2>&1 & jack=$!
  sleep 2
  jalv.gtk3 "$(identity PLUGIN_URI)" >/dev/null 2>&1 & jalv=$!
  sleep 8
  window=$(xwininfo -root -tree | awk "/\"Brummkiste Tiefgarten\"/ {print \$1; exit}")
  [ -n "$window" ] && import -window "$window" out/jalv-window.png
  kill $jalv $jack; wait 2>/dev/null
  [ -n "$window" ]'
echo "out/jalv-window.png"
