#!/usr/bin/env bash
# The cost table of the README: instructions executed per sample, every
# mode with the tank modulation off and at 50 %, on x86-64 (valgrind's
# count; the AVX and FMA lanes as chosen on this CPU, and the plain code)
# and on aarch64 (the NEON lanes, counted from qemu's log of the translated
# blocks it executes). Two run lengths, the difference over the extra
# frames: the cost per sample without the start-up. Counts, not seconds:
# the same on every run and under any load.
#
# usage: tools/instruction-counts.sh [BUILD_DIR] [ARM64_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/script-lib.sh
x86=${1:-build}/tools/run_cost
arm=${2:-build-arm64}/tools/run_cost
[ -x "$x86" ] && [ -x "$arm" ] || fail "build run_cost in both build trees first"
short=24064  # 188 periods of 128 frames
long=48128   # 376
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# x86-64: valgrind's total of executed instructions.
count_x86() {
  valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\)/\1/p'
}

# aarch64: qemu logs each translated block's instructions once (in_asm) and
# every execution of a block (exec; nochain so that none runs unlogged);
# the sum over executions of the block's length is the count.
count_arm() {
  mkfifo "$work/log"
  python3 -c '
import re, sys
length, counts, current = {}, {}, None
for line in open(sys.argv[1]):
    if line.startswith("Trace "):
        pc = line.split("[", 1)[1].split("/", 2)[1]
        counts[pc] = counts.get(pc, 0) + 1
    elif line.startswith("IN:"):
        current, n = None, 0
    elif line.startswith("0x"):
        pc = "%016x" % int(line.split(":", 1)[0], 16)
        if current is None:
            current = pc
            length[current] = 0
        length[current] += 1
    elif not line.strip():
        current = None
print(sum(length.get(pc, 0) * n for pc, n in counts.items()))
' "$work/log" &
  local reader=$!
  qemu-aarch64 -L /usr/aarch64-linux-gnu -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib \
    -d in_asm,exec,nochain -D "$work/log" "$@" >/dev/null
  wait "$reader"
  rm -f "$work/log"
}

per_sample() { awk -v a="$1" -v b="$2" -v n=$((long - short)) 'BEGIN { printf "%.0f", (b - a) / n }'; }

echo "| Mode | Tank modulation | x86-64, AVX and FMA | x86-64, plain | aarch64, NEON |"
echo "|---|---|---|---|---|"
for mode in 0 1 2 3 4; do
  for mod in 0 50; do
    lanes=$(per_sample "$(count_x86 "$x86" $mode $mod $short)" "$(count_x86 "$x86" $mode $mod $long)")
    plain=$(per_sample "$(BRUMMKISTE_SCALAR=1 count_x86 "$x86" $mode $mod $short)" \
      "$(BRUMMKISTE_SCALAR=1 count_x86 "$x86" $mode $mod $long)")
    neon=$(per_sample "$(count_arm "$arm" $mode $mod $short)" "$(count_arm "$arm" $mode $mod $long)")
    echo "| $mode | $mod % | $lanes | $plain | $neon |"
  done
done
