#!/usr/bin/env bash
# The main job on a fresh machine: installs what it needs, builds the plugin,
# synthesises a short phrase and renders it through every preset and every
# mode with real LV2 hosts (lv2file, lv2apply). For each mode it also
# measures the impulse response and draws its spectrogram and its energy
# decay curve. Everything goes to out/.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/script-lib.sh

tools/install-deps.sh cmake g++ make pkg-config python3 lv2-dev lilv-utils lv2file sox libsox-fmt-base \
  gnuplot-nox libx11-dev libcairo2-dev libfftw3-dev xvfb xauth

build=${BUILD_DIR:-build-demo}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRUMMKISTE_TESTS=OFF -DBRUMMKISTE_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target brummkiste-tiefgarten brummkiste-tiefgarten-ui ir_analysis \
  ui_screenshot >/dev/null

out=out
rm -rf "$out"
mkdir -p "$out/presets" "$out/modes" "$out/impulse" "$out/stereo" "$out/ui"
export LV2_PATH="$PWD/$build/lv2:/usr/lib/lv2"
uri=$(identity PLUGIN_URI)
rate=48000

tools/make-phrase.sh "$out/input.wav"
echo "input            $out/input.wav"

# Every preset, by its label, through lv2file.
lv2file -L "$uri" 2>/dev/null | sed -n 's/^Preset: //p' | sort | while read -r label; do
  file="$out/presets/$(echo "$label" | tr 'A-Z ' 'a-z-').wav"
  lv2file -P "$label" -i "$out/input.wav" -o "$file" "$uri" >/dev/null 2>&1
  printf 'preset %-20s %s\n' "$label" "$file"
done

# The stereo-input variant on a send: the phrase panned left against its
# echo on the right, 100 % wet.
sox "$out/input.wav" "$out/stereo/left.wav" remix 1
sox "$out/input.wav" "$out/stereo/right.wav" remix 1 vol 0.5 pad 0.25 trim 0 "$(soxi -D "$out/input.wav")"
sox -M "$out/stereo/left.wav" "$out/stereo/right.wav" "$out/stereo/input.wav"
rm -f "$out/stereo/left.wav" "$out/stereo/right.wav"
lv2apply -i "$out/stereo/input.wav" -o "$out/stereo/send.wav" -c dry_db -120 -c wet_a_db -12 \
  "$uri-stereo" >/dev/null
echo "stereo send      $out/stereo/send.wav"

names=("delay-lines" "parallel-tanks" "tanks-into-one" "tanks-in-series" "tanks-into-delays")
# The cascaded modes add up the resonances of several tanks: each gets a
# reverb level that keeps the phrase below full scale.
levels=(-9 -18 -22 -34 -32)
decay_ms=2500
# A unit impulse followed by 8 s of silence.
{ printf '\x00\x00\x80\x3f'; head -c $((4 * (rate * 8 - 1))) /dev/zero; } >"$out/impulse/unit.f32"
sox -t f32 -r $rate -c 1 "$out/impulse/unit.f32" -b 32 -e float "$out/impulse/unit.wav"
rm -f "$out/impulse/unit.f32"

for mode in 0 1 2 3 4; do
  name=mode$mode-${names[$mode]}
  lv2apply -i "$out/input.wav" -o "$out/modes/$name.wav" -c mode_sel "$mode" \
    -c wet_a_db "${levels[$mode]}" "$uri" >/dev/null
  echo "mode $mode phrase     $out/modes/$name.wav"

  # Impulse response: wet signal only. Mode 0 has no tank; its delay lines
  # get some mix so that their echoes show.
  ir="$out/impulse/$name"
  extra=()
  [ "$mode" = 0 ] && extra=(-c delay_mix 50 -c delay_feedback 60)
  lv2apply -i "$out/impulse/unit.wav" -o "$ir.wav" -c mode_sel "$mode" -c dry_db -120 \
    -c wet_a_db 0 -c decay_ms $decay_ms "${extra[@]}" "$uri" >/dev/null
  sox "$ir.wav" -t f32 "$ir.f32" 2>/dev/null
  rt60=$("$build/tools/ir_analysis" $rate "$ir.f32" "$ir.dat")
  rm -f "$ir.f32"
  sox "$ir.wav" -n remix 1 trim 0 6 gain -n spectrogram -x 900 -y 400 -z 100 \
    -t "Mode $mode (${names[$mode]}): impulse response, left channel" -o "$ir-spectrogram.png" 2>/dev/null
  if [ "$mode" = 0 ]; then
    label="Mode 0: RT60 measured ${rt60} s (the decay control does not act without tanks)"
  else
    label="Mode $mode: RT60 measured ${rt60} s, decay control $(awk -v d=$decay_ms 'BEGIN{printf "%.2f", d/1000}') s"
  fi
  gnuplot <<GNUPLOT
set terminal pngcairo size 900,450 font "sans,10"
set output "$ir-decay.png"
set title "$label"
set xlabel "time (s)"
set ylabel "energy still to come (dB)"
set yrange [-100:0]
set xrange [0:8]
set grid
set arrow from 0,-60 to 8,-60 nohead dashtype 2 linecolor rgb "gray40"
plot "$ir.dat" using 1:2 with lines linewidth 2 linecolor rgb "#1f5fa8" title "energy decay curve (both channels)"
GNUPLOT
  rm -f "$ir.dat"
  echo "mode $mode impulse    $ir.wav  RT60 $rt60 s  ($ir-spectrogram.png, $ir-decay.png)"
done
rm -f "$out/impulse/unit.wav"

# The plugin window, one screenshot per mode, in a virtual X server.
xvfb-run -a -s "-screen 0 1920x1200x24 -noreset" "$build/tools/ui_screenshot" \
  "$build/lv2/brummkiste-tiefgarten.lv2/libbrummkiste-tiefgarten-ui.so" "$out/ui/window" |
  sed 's/^/window           /'
