#!/usr/bin/env bash
# The lane files are built for another instruction set than the rest of the
# library. A function they define with vague linkage (an inline function, a
# template instance) could be merged with the baseline code's copy of it at
# link time, and the baseline path would then run AVX instructions on a CPU
# without them. So the lane objects may define nothing but their own *_lanes
# entry points (and constant data).
#
# usage: lane_objects_check.sh OBJECT...
set -euo pipefail
status=0
for obj in "$@"; do
  case "$obj" in *_lanes.cpp.o) ;; *) continue ;; esac
  bad=$(nm -C --defined-only "$obj" | awk '$2 ~ /^[TWVi]$/ && $0 !~ /_lanes\(/')
  if [ -n "$bad" ]; then
    echo "FAIL: $obj defines code the baseline could share:" >&2
    echo "$bad" >&2
    status=1
  fi
done
exit $status
