#!/usr/bin/env bash
# A short fuzz run (FUZZ_SECONDS, default 60) from the seed corpus in the
# repository; new inputs go to a temporary folder, the repository stays as is.
set -euo pipefail
fuzzer=$1
seeds=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$fuzzer" -max_total_time="${FUZZ_SECONDS:-60}" -seed=1 -max_len=512 -timeout=20 \
  -rss_limit_mb=4096 -print_final_stats=1 "$work" "$seeds" 2>"$work.log" || {
  tail -60 "$work.log" >&2
  exit 1
}
grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|cov:" "$work.log" | tail -4
rm -f "$work.log"
