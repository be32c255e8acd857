#!/usr/bin/env bash
# Builds the Debian packages (amd64 natively, arm64 as a cross build) and the
# release archives for x86-64 and aarch64 into dist/. The archives hold the
# packages' own (stripped) plugins in a folder per format (lv2/, vst3/,
# clap/), the JACK programs (bin/) with their manual pages (man/), the
# licence and a short install text.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
version=$(sed -n 's/^project(brummkiste_tiefgarten VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }

tools/install-deps.sh dpkg-dev debhelper fakeroot lintian file cmake pkg-config python3 lv2-dev \
  libcairo2-dev libx11-dev libfftw3-dev libjack-jackd2-dev dpf-source crossbuild-essential-arm64
# The arm64 build dependencies come from Debian's arm64 packages (multiarch).
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $sudo dpkg --add-architecture arm64
  $sudo apt-get update -qq
fi

# A clean copy of the tree (tracked and new files, nothing ignored).
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
src="$stage/brummkiste-tiefgarten-$version"
mkdir -p "$src"
git ls-files -co --exclude-standard -z | tar --null -T - -cf - | tar -xf - -C "$src"

(cd "$src" && DEBIAN_FRONTEND=noninteractive $sudo apt-get build-dep -y -qq -a arm64 ./ >/dev/null)
# dpkg-shlibdeps reads the arm64 C++ runtime's dependency information.
tools/install-deps.sh libstdc++6:arm64

(cd "$src" && dpkg-buildpackage -us -uc -b >"$stage/amd64.log" 2>&1) ||
  { tail -40 "$stage/amd64.log"; exit 1; }
(cd "$src" && dpkg-buildpackage -us -uc -b -a arm64 -Pcross,nocheck >"$stage/arm64.log" 2>&1) ||
  { tail -40 "$stage/arm64.log"; exit 1; }

rm -rf dist
mkdir -p dist
mv "$stage"/*.deb "$stage"/*.buildinfo "$stage"/*.changes dist/

for pair in amd64:x86_64 arm64:aarch64; do
  arch=${pair%%:*}
  name="brummkiste-tiefgarten-$version-linux-${pair##*:}"
  root="$stage/$name"
  unpacked="$stage/unpacked-$arch"
  for format in lv2 vst3 clap jack; do
    dpkg-deb -x "dist/brummkiste-tiefgarten-${format}_${version}_$arch.deb" "$unpacked"
  done
  mkdir -p "$root/lv2" "$root/vst3/presets" "$root/clap" "$root/bin" "$root/man"
  cp -r "$unpacked/usr/lib/lv2/brummkiste-tiefgarten.lv2" "$root/lv2/"
  cp -r "$unpacked"/usr/lib/vst3/*.vst3 "$root/vst3/"
  cp -r "$unpacked/usr/share/vst3/presets/Brummkiste" "$root/vst3/presets/"
  cp "$unpacked"/usr/lib/clap/*.clap "$root/clap/"
  cp "$unpacked"/usr/bin/brummkiste-tiefgarten-*jack "$root/bin/"
  cp "$unpacked"/usr/share/man/man1/brummkiste-tiefgarten-*jack.1.gz "$root/man/"
  cp LICENSE "$root/"
  sed "s/@VERSION@/$version/; s/@ARCH@/${pair##*:}/" docs/INSTALL-archive.txt >"$root/INSTALL.txt"
  tar -C "$stage" --owner=0 --group=0 -czf "dist/$name.tar.gz" "$name"
done
ls -l dist
