#!/usr/bin/env bash
# No preset clips: every preset renders the demo phrase (tools/make-phrase.sh)
# through lv2file with its output peak at or below -1 dBFS.
#
# usage: preset_peaks.sh LV2_DIR SOURCE_DIR
set -euo pipefail
. "$(dirname "$0")/../tools/script-lib.sh"
export LV2_PATH=$1
source_dir=$2
uri=$(identity PLUGIN_URI)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$source_dir/tools/make-phrase.sh" "$tmp/phrase.wav"
limit=0.891251  # -1 dBFS
status=0
count=0
while read -r label; do
  lv2file --ignore-clipping -P "$label" -i "$tmp/phrase.wav" -o "$tmp/out.wav" "$uri" >/dev/null 2>&1
  peak=$(sox "$tmp/out.wav" -n stat 2>&1 |
    awk '/Maximum amplitude/{mx=$3} /Minimum amplitude/{mn=-$3} END{print (mx>mn?mx:mn)}')
  verdict=ok
  if awk -v p="$peak" -v l="$limit" 'BEGIN{exit !(p > l)}'; then verdict=CLIPS; status=1; fi
  printf '%-20s peak %s %s\n' "$label" "$peak" "$verdict"
  count=$((count + 1))
done < <(lv2file -L "$uri" 2>/dev/null | sed -n 's/^Preset: //p')
[ "$count" -ge 24 ] || { echo "FAIL: expected at least 24 presets, found $count" >&2; exit 1; }
exit $status
