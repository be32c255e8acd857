#!/usr/bin/env bash
# Builds the plugin, the unit and host tests and the fuzz target with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs them, including a
# short fuzz run (FUZZ_SECONDS, default 60) from the seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh cmake make pkg-config python3 clang libclang-rt-14-dev lv2-dev liblilv-dev sordi \
  libgtest-dev dpf-source

build=build-asan
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRUMMKISTE_SANITIZE=ON -DBRUMMKISTE_FUZZ=ON -DBRUMMKISTE_WERROR=ON -DBRUMMKISTE_BENCH=OFF -DBRUMMKISTE_UI=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
