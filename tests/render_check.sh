#!/usr/bin/env bash
# Renders a mono file to stereo through two real LV2 hosts: lv2apply, which
# calls run one frame at a time, and lv2file with 512-frame periods. With the
# level and decay controls at their ramps' starting targets no ramp moves
# after the first block, so the period size must not change a single sample.
set -euo pipefail
lv2dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LV2_PATH="$lv2dir:/usr/lib/lv2"
. "$(dirname "$0")/../tools/script-lib.sh"
uri=$(identity PLUGIN_URI)

sox -n -r 48000 -c 1 -b 32 -e float "$work/in.wav" synth 0.25 pinknoise vol 0.5 pad 0.01 0.6 2>/dev/null
lv2apply -i "$work/in.wav" -o "$work/apply.wav" \
  -c dry_db 0 -c wet_a_db -32 -c wet_b_db 0 -c decay_ms 10000 -c mode_sel 2 "$uri"
lv2file -i "$work/in.wav" -o "$work/file.wav" -b 512 \
  -p dry_db:0 -p wet_a_db:-32 -p wet_b_db:0 -p decay_ms:10000 -p mode_sel:2 "$uri" >/dev/null

[ "$(soxi -c "$work/apply.wav" 2>/dev/null)" = 2 ] || fail "output is not stereo"
# The samples exactly (sox would round the tail's lowest bits).
raw() { python3 "$(dirname "$0")/wav_float.py" raw "$1" "$2"; }
raw "$work/apply.wav" "$work/apply.raw"
raw "$work/file.wav" "$work/file.raw"
cmp "$work/apply.raw" "$work/file.raw" || fail "lv2apply and lv2file outputs differ"

# The tail after the input has ended carries the reverb.
tail_rms=$(sox "$work/apply.wav" -n trim 0.4 stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
awk -v r="$tail_rms" 'BEGIN { exit !(r > 1e-6) }' || fail "no reverb tail (RMS $tail_rms)"
echo "identical renders, tail RMS $tail_rms"

# The stereo-input variant takes a stereo file in lv2apply; with both sides
# equal it plays exactly what the mono plugin plays.
stereo_uri=$uri-stereo
sox -M "$work/in.wav" "$work/in.wav" "$work/in2.wav"
lv2apply -i "$work/in2.wav" -o "$work/stereo.wav" \
  -c dry_db 0 -c wet_a_db -32 -c wet_b_db 0 -c decay_ms 10000 -c mode_sel 2 "$stereo_uri"
raw "$work/stereo.wav" "$work/stereo.raw"
cmp "$work/apply.raw" "$work/stereo.raw" || fail "stereo variant with equal sides differs from mono"
sox -n -r 48000 -c 2 -b 32 -e float "$work/wide.wav" synth 0.25 pinknoise pinknoise vol 0.5 pad 0.01 0.6 2>/dev/null
lv2apply -i "$work/wide.wav" -o "$work/wide-out.wav" "$stereo_uri"
[ "$(soxi -c "$work/wide-out.wav" 2>/dev/null)" = 2 ] || fail "stereo variant output is not stereo"
echo "stereo variant: equal sides match the mono plugin; a stereo file renders"
