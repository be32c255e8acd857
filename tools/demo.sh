#!/usr/bin/env bash
# Builds the plugin and renders a short synthesised phrase through it in each
# of the five modes with a real LV2 host (lv2apply). Writes WAV files to out/.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh cmake g++ make pkg-config lv2-dev liblilv-dev lilv-utils sox libsox-fmt-base

build=${BUILD_DIR:-build-demo}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRUMMKISTE_TESTS=OFF -DBRUMMKISTE_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target brummkiste-tiefgarten >/dev/null

out=out
mkdir -p "$out"
export LV2_PATH="$PWD/$build/lv2:/usr/lib/lv2"
uri=http://brummkiste.audio/plugins/brummkiste-tiefgarten

# Input: two clicks, a plucked string and a short noise burst, padded so the
# tail is heard.
sox -R -n -r 48000 -c 1 -b 32 -e float "$out/click.wav" synth 0.002 square 100 vol 0.8 pad 0 0.498
sox -R -n -r 48000 -c 1 -b 32 -e float "$out/pluck.wav" synth 1.2 pluck A3 vol 0.6 fade 0 1.2 0.3
sox -R -n -r 48000 -c 1 -b 32 -e float "$out/burst.wav" synth 0.15 pinknoise vol 0.4 fade 0 0.15 0.05
sox -R "$out/click.wav" "$out/click.wav" "$out/pluck.wav" "$out/burst.wav" "$out/input.wav" pad 0 4
rm -f "$out/click.wav" "$out/pluck.wav" "$out/burst.wav"
echo "input: $out/input.wav"

names=("delay-lines" "parallel-tanks" "tanks-into-one" "tanks-in-series" "tanks-into-delays")
# The cascaded modes add up the resonances of several tanks: each gets a
# reverb level that keeps it below full scale.
levels=(-9 -18 -22 -34 -32)
for mode in 0 1 2 3 4; do
  file="$out/mode$mode-${names[$mode]}.wav"
  lv2apply -i "$out/input.wav" -o "$file" -c mode_sel "$mode" -c wet_a_db "${levels[$mode]}" \
    "$uri" >/dev/null
  echo "mode $mode: $file"
done
