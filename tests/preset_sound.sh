#!/usr/bin/env bash
# Every preset sounds as clean as it measures: the sound analysis over each
# (its reverb alone, the dry signal off), failing on any limit a clean
# reverb preset must keep (fine colour, significant peaks, flutter, IACC,
# echo density, T20 against the decay control; a frozen preset must hold;
# echo presets are exempt).
#
# usage: preset_sound.sh LV2_DIR SOUND_ANALYSIS
set -euo pipefail
. "$(dirname "$0")/../tools/script-lib.sh"
export LV2_PATH=$1
analysis=$2
uri=$(identity PLUGIN_URI)
configs=()
while read -r label; do
  configs+=("$label=$uri#preset=$label#!dry_db=-120")
done < <(lv2file -L "$uri" 2>/dev/null | sed -n 's/^Preset: //p')
[ "${#configs[@]}" -ge 24 ] || { echo "FAIL: expected at least 24 presets, found ${#configs[@]}" >&2; exit 1; }
"$analysis" --check "${configs[@]}"
