#!/usr/bin/env bash
# The demo phrase: two clicks, a plucked string and a short noise burst,
# padded so that the tail is heard; 48 kHz mono float. sox's -R keeps the
# noise the same on every run, so the demo and the preset-level test hear
# the same input.
#
# usage: make-phrase.sh OUT.wav
set -euo pipefail
out=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rate=48000
sox -R -n -r $rate -c 1 -b 32 -e float "$tmp/click.wav" synth 0.002 square 100 vol 0.8 pad 0 0.498
sox -R -n -r $rate -c 1 -b 32 -e float "$tmp/pluck.wav" synth 1.2 pluck A3 vol 0.6 fade 0 1.2 0.3
sox -R -n -r $rate -c 1 -b 32 -e float "$tmp/burst.wav" synth 0.15 pinknoise vol 0.4 fade 0 0.15 0.05
sox -R "$tmp/click.wav" "$tmp/click.wav" "$tmp/pluck.wav" "$tmp/burst.wav" "$out" pad 0 5
