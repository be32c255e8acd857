#!/usr/bin/env bash
# Includes run one way, from the shells down: no layer below the shells
# (lv2/, formats/, jack/) knows a plugin format or JACK, and each layer includes only the
# ones below it (docs/architecture.md).
#
# usage: layer_check.sh SOURCE_DIR
set -euo pipefail
cd "$1"
. tools/script-lib.sh
forbidden() {
  local pattern=$1
  shift
  if grep -rnE "#include \"($pattern)/" "$@"; then fail "an include against the layers: $pattern from $*"; fi
}
forbidden 'lv2|formats|jack' ui instance control engine dsp
forbidden 'ui' instance control engine dsp
forbidden 'instance' control engine dsp
forbidden 'control' engine dsp
forbidden 'engine' dsp
echo "layers: every include runs from the shells down"
