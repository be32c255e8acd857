#!/usr/bin/env bash
# Builds the plugin bundle as a subproject of a parent CMake tree, as a
# distribution or a board vendor would (add_subdirectory), and checks that
# the bundle is complete.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

parent=$(mktemp -d)
trap 'rm -rf "$parent"' EXIT
ln -s "$repo" "$parent/brummkiste"
cat >"$parent/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(parent_tree LANGUAGES CXX)
add_subdirectory(brummkiste)
CMAKE
cmake -S "$parent" -B "$parent/build" -DCMAKE_BUILD_TYPE=Release -DBRUMMKISTE_WERROR=ON >/dev/null
cmake --build "$parent/build" -j"$(nproc)" --target brummkiste-tiefgarten >/dev/null
bundle="$parent/build/brummkiste/lv2/brummkiste-tiefgarten.lv2"
for f in libbrummkiste-tiefgarten.so manifest.ttl brummkiste-tiefgarten.ttl \
  brummkiste-tiefgarten-stereo.ttl presets.ttl; do
  [ -f "$bundle/$f" ] || { echo "FAIL: subproject build lacks $f" >&2; exit 1; }
done
echo "subproject build: bundle complete"
