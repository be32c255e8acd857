#!/usr/bin/env bash
# Our five modes beside Debian's peer reverbs, in one process: white noise at
# 48 kHz, periods of 64 and 256 samples, repetitions interleaved across the
# plugins; median ns per sample and the ratio of ours to each peer. Peers that
# are not installed or do not load are skipped with a message.
#
# usage: tools/bench-peers.sh [REPETITIONS] [SECONDS_PER_REPETITION]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/script-lib.sh

tools/install-deps.sh cmake g++ make pkg-config python3 lv2-dev liblilv-dev libbenchmark-dev \
  calf-plugins dragonfly-reverb-lv2 zam-plugins

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRUMMKISTE_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target brummkiste-tiefgarten peer_host >/dev/null

reps=${1:-7}
secs=${2:-1}
uri=$(identity PLUGIN_URI)
peers=(
  "Calf Reverb=http://calf.sourceforge.net/plugins/Reverb"
  "Dragonfly Plate=urn:dragonfly:plate"
  "Dragonfly Room=urn:dragonfly:room"
  "Dragonfly Hall=https://github.com/michaelwillis/dragonfly-reverb"
  "ZamVerb=urn:zamaudio:ZamVerb"
)
ours=()
for mode in 0 1 2 3 4; do ours+=("Tiefgarten mode $mode=$uri#mode_sel=$mode"); done
export LV2_PATH="$PWD/$build/lv2:/usr/lib/lv2"

for period in 64 256; do
  echo "period $period, 48 kHz, $reps repetitions of $secs s, median ns per sample"
  result=$("$build/bench/peer_host" "$period" "$reps" "$secs" "${ours[@]}" "${peers[@]}")
  # name ... value, or name ... skipped: why
  awk -v ours_n=5 '
    / skipped: / { print "  " $0; next }
    { v = $NF; $NF = ""; name = substr($0, 1, length($0) - 1); n++
      names[n] = name; val[n] = v }
    END {
      header = sprintf("  %-22s %8s", "plugin", "ns/smp")
      for (p = ours_n + 1; p <= n; p++) header = header sprintf("  %16s", "x " names[p])
      print header
      for (i = 1; i <= n; i++) {
        line = sprintf("  %-22s %8.1f", names[i], val[i])
        if (i <= ours_n) for (p = ours_n + 1; p <= n; p++) line = line sprintf("  %16.2f", val[i] / val[p])
        print line
      }
    }' <<<"$result"
done
