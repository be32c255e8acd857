#!/usr/bin/env bash
# Installs what the build and the tests need (Debian packages), configures,
# builds and runs the whole test suite: the release check that CI runs.
#
# usage: test.sh          the whole suite
#        test.sh --quick  the developer's loop: build, then the unit, host
#                         and format tests that run in seconds (ctest
#                         without the tests labelled slow); no sanitizer,
#                         ARM, subproject, Ardour or package stages
set -euo pipefail
cd "$(dirname "$0")/.."

quick=
[ "${1:-}" != "--quick" ] || quick=1

tools/install-deps.sh cmake g++ make pkg-config python3 binutils lv2-dev liblilv-dev lilv-utils sordi lv2file sox \
  libx11-dev libcairo2-dev libfftw3-dev libxtst-dev xvfb xauth \
  libsox-fmt-base libgtest-dev libbenchmark-dev valgrind qemu-user dpf-source \
  libjack-jackd2-dev jackd2 chromium x11-utils

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRUMMKISTE_TESTS=ON -DBRUMMKISTE_BENCH=ON \
  -DBRUMMKISTE_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
if [ -n "$quick" ]; then
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)" -LE slow
  exit 0
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# The stored output hashes through the plain code: forced, and as chosen on
# a CPU without AVX and FMA (an emulated Nehalem), where the library must
# neither crash nor sound different.
BRUMMKISTE_SCALAR=1 BRUMMKISTE_EXPECT_LANES=0 "$build/tests/unit_tests" --gtest_brief=1 \
  --gtest_filter='Regression.*'
qemu-x86_64 -cpu Nehalem "$build/tests/hash_check" \
  "$build/lv2/brummkiste-tiefgarten.lv2/libbrummkiste-tiefgarten.so"
BRUMMKISTE_EXPECT_LANES=0 qemu-x86_64 -cpu Nehalem "$build/tests/unit_tests" --gtest_brief=1 \
  --gtest_filter='Regression.InstancesTakeTheLanesOnlyWhereExpected'

# Unit and host tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# with a short fuzz run.
tools/test-sanitizers.sh

# The same unit and regression tests cross-built for 64-bit ARM, under qemu.
tools/test-arm64.sh

# The bundle built as a subproject of another CMake tree.
tools/test-subproject.sh

# The host's bypass in Ardour 7 (headless): the dry signal on both sides;
# the VST3 plugin plays the LV2 plugin's bits there.
tools/test-ardour.sh "$build/lv2" "$build/vst3"

# The Debian packages (LV2, VST3, CLAP; amd64, arm64) and release archives:
# built, checked by lintian, installed into a fresh Debian 12 root, the arm64
# library's hashes under qemu.
tools/package.sh >/dev/null
tools/test-packages.sh "$build" build-arm64
