#!/usr/bin/env bash
# Checks what tools/package.sh made (building it when dist/ lacks it):
# lintian on the eight packages (LV2, VST3, CLAP, JACK; amd64, arm64); the amd64 LV2
# package installed into a fresh Debian 12 root (mmdebstrap, then apt install
# ./package lilv-utils) where lv2ls lists both plugins and lv2apply renders
# the same bits as the build tree; the VST3 and CLAP packages installed there
# with every library their plugins need; the JACK programs there, refusing
# plainly without a server; removed again, nothing left; the
# arm64 packages' contents and the LV2 library's stored output hashes under
# qemu-aarch64; both archives' contents.
#
# usage: test-packages.sh BUILD_DIR ARM64_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
build_arm64=$(cd "${2:-build-arm64}" && pwd)
version=$(sed -n 's/^project(brummkiste_tiefgarten VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
. tools/script-lib.sh
uri=$(identity PLUGIN_URI)

tools/install-deps.sh lintian mmdebstrap lilv-utils sox libsox-fmt-base qemu-user file
amd64=dist/brummkiste-tiefgarten-lv2_${version}_amd64.deb
arm64=dist/brummkiste-tiefgarten-lv2_${version}_arm64.deb
debs=()
for format in lv2 vst3 clap jack; do
  for arch in amd64 arm64; do debs+=("dist/brummkiste-tiefgarten-${format}_${version}_$arch.deb"); done
done
all_built=true
for d in "${debs[@]}"; do [ -f "$d" ] || all_built=false; done
$all_built || tools/package.sh >/dev/null

# lintian: no error, no warning (overrides, if any, live in debian/).
lintian --fail-on error,warning "${debs[@]}" 2>&1 | grep -v "running with root privileges" || true
lintian --fail-on error,warning "${debs[@]}" >/dev/null 2>&1 || fail "lintian"
echo "lintian: clean (${#debs[@]} packages)"

work=$(mktemp -d)
root="$work/root"
cleanup() {
  mountpoint -q "$root/proc" 2>/dev/null && umount "$root/proc"
  rm -rf "$work"
}
trap cleanup EXIT

# A fresh Debian 12 root; the bootstrap is cached (it only changes with
# Debian's point releases).
cache=/var/cache/brummkiste/bookworm-root.tar
if [ ! -f "$cache" ]; then
  mkdir -p "$(dirname "$cache")"
  mmdebstrap --quiet --variant=apt --format=tar bookworm "$cache.part"
  mv "$cache.part" "$cache"
fi
mkdir -p "$root"
tar -C "$root" -xf "$cache"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 "$@"; }

tools/make-phrase.sh "$work/phrase.wav"
cp "$amd64" "$work/phrase.wav" "$root/tmp/"
in_root apt-get update -qq
in_root apt-get install -y -qq "/tmp/$(basename "$amd64")" lilv-utils >/dev/null 2>&1 ||
  fail "apt install of the package in the fresh root"
listed=$(in_root lv2ls)
grep -qx "$uri" <<<"$listed" || fail "lv2ls in the fresh root does not list $uri"
grep -qx "$uri-stereo" <<<"$listed" || fail "lv2ls in the fresh root does not list $uri-stereo"
echo "fresh root: lv2ls lists both plugins"
in_root lv2apply -i /tmp/phrase.wav -o /tmp/packaged.wav -c decay_ms 4000 "$uri" >/dev/null
LV2_PATH="$build/lv2" lv2apply -i "$work/phrase.wav" -o "$work/built.wav" -c decay_ms 4000 "$uri" >/dev/null
# The samples, not the files: the WAV header's peak chunk carries a time
# stamp. Read exactly (sox would round the tail's lowest bits).
python3 tests/wav_float.py raw "$root/tmp/packaged.wav" "$work/packaged.f32"
python3 tests/wav_float.py raw "$work/built.wav" "$work/built.f32"
cmp "$work/packaged.f32" "$work/built.f32" || fail "the installed package renders other bits than the build tree"
echo "fresh root: lv2apply renders the build tree's bits"
# The VST3 and CLAP packages: their plugins where hosts look, every library
# they need pulled in by the package's dependencies.
cp "dist/brummkiste-tiefgarten-vst3_${version}_amd64.deb" "dist/brummkiste-tiefgarten-clap_${version}_amd64.deb" \
  "$root/tmp/"
in_root apt-get install -y -qq "/tmp/brummkiste-tiefgarten-vst3_${version}_amd64.deb" \
  "/tmp/brummkiste-tiefgarten-clap_${version}_amd64.deb" >/dev/null 2>&1 ||
  fail "apt install of the VST3 and CLAP packages in the fresh root"
for lib in /usr/lib/vst3/brummkiste-tiefgarten.vst3/Contents/x86_64-linux/brummkiste-tiefgarten.so \
  /usr/lib/vst3/brummkiste-tiefgarten-stereo.vst3/Contents/x86_64-linux/brummkiste-tiefgarten-stereo.so \
  /usr/lib/clap/brummkiste-tiefgarten.clap /usr/lib/clap/brummkiste-tiefgarten-stereo.clap; do
  [ -f "$root$lib" ] || fail "the fresh root lacks $lib"
  ! in_root ldd "$lib" | grep -q "not found" || fail "$lib needs a library its package does not pull in"
done
for variant in "Brummkiste Tiefgarten" "Brummkiste Tiefgarten Stereo"; do
  n=$(ls "$root/usr/share/vst3/presets/Brummkiste/$variant" | grep -c '\.vstpreset$' || true)
  [ "$n" -eq 24 ] || fail "the fresh root has $n VST3 presets for $variant, not 24"
done
echo "fresh root: VST3 bundles, their presets and CLAP files installed, every library found"
# The JACK programs: every library found, the presets, the manual pages, and
# with no JACK server running a plain refusal.
jack_deb="brummkiste-tiefgarten-jack_${version}_amd64.deb"
cp "dist/$jack_deb" "$root/tmp/"
in_root apt-get install -y -qq "/tmp/$jack_deb" >/dev/null 2>&1 || fail "apt install of the JACK package in the fresh root"
for program in brummkiste-tiefgarten-jack brummkiste-tiefgarten-stereo-jack; do
  ! in_root ldd "/usr/bin/$program" | grep -q "not found" || fail "$program needs a library its package does not pull in"
  [ -f "$root/usr/share/man/man1/$program.1.gz" ] || fail "no manual page for $program"
  n=$(in_root "$program" --list-presets | wc -l)
  [ "$n" -eq 24 ] || fail "$program lists $n presets, not 24"
  status=0
  in_root "$program" --no-window >"$work/jack.log" 2>&1 || status=$?
  [ "$status" = 1 ] && grep -q "cannot connect to a JACK server" "$work/jack.log" ||
    fail "$program without a JACK server: status $status, $(cat "$work/jack.log")"
done
echo "fresh root: the JACK programs run, list the presets and refuse plainly without a server"
in_root apt-get remove -y -qq brummkiste-tiefgarten-lv2 brummkiste-tiefgarten-vst3 brummkiste-tiefgarten-clap \
  brummkiste-tiefgarten-jack >/dev/null 2>&1 || fail "apt remove in the fresh root"
for path in lib/lv2/brummkiste-tiefgarten.lv2 lib/vst3/brummkiste-tiefgarten.vst3 \
  lib/clap/brummkiste-tiefgarten.clap share/vst3/presets/Brummkiste bin/brummkiste-tiefgarten-jack \
  bin/brummkiste-tiefgarten-stereo-jack; do
  [ ! -e "$root/usr/$path" ] || fail "/usr/$path left after removal"
done
echo "fresh root: removed, nothing left"

# arm64: contents, and the packaged library's hashes under qemu.
dpkg-deb -x "$arm64" "$work/arm64"
bundle="$work/arm64/usr/lib/lv2/brummkiste-tiefgarten.lv2"
for f in libbrummkiste-tiefgarten.so libbrummkiste-tiefgarten-ui.so manifest.ttl \
  brummkiste-tiefgarten.ttl brummkiste-tiefgarten-stereo.ttl presets.ttl modgui.ttl modgui/knob.png \
  modgui/icon-brummkiste-tiefgarten.html modgui/screenshot-brummkiste-tiefgarten.png; do
  [ -f "$bundle/$f" ] || fail "arm64 package lacks $f"
done
file "$bundle/libbrummkiste-tiefgarten.so" | grep -q "ARM aarch64" || fail "arm64 library is not aarch64"
qemu-aarch64 -L /usr/aarch64-linux-gnu -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib \
  "$build_arm64/tests/hash_check" "$bundle/libbrummkiste-tiefgarten.so"
for format in vst3 clap; do
  dpkg-deb -x "dist/brummkiste-tiefgarten-${format}_${version}_arm64.deb" "$work/arm64"
done
for lib in vst3/brummkiste-tiefgarten.vst3/Contents/aarch64-linux/brummkiste-tiefgarten.so \
  vst3/brummkiste-tiefgarten-stereo.vst3/Contents/aarch64-linux/brummkiste-tiefgarten-stereo.so \
  clap/brummkiste-tiefgarten.clap clap/brummkiste-tiefgarten-stereo.clap; do
  file "$work/arm64/usr/lib/$lib" | grep -q "ARM aarch64" || fail "arm64 package: $lib is not aarch64"
done
dpkg-deb -x "dist/brummkiste-tiefgarten-jack_${version}_arm64.deb" "$work/arm64"
for program in brummkiste-tiefgarten-jack brummkiste-tiefgarten-stereo-jack; do
  file "$work/arm64/usr/bin/$program" | grep -q "ARM aarch64" || fail "arm64 package: $program is not aarch64"
done
echo "arm64: VST3 bundles, CLAP files and JACK programs are aarch64"

# The archives: the plugins in every format, the licence and the install text.
for name in x86_64 aarch64; do
  archive="dist/brummkiste-tiefgarten-$version-linux-$name.tar.gz"
  listing=$(tar -tzf "$archive")
  for f in lv2/brummkiste-tiefgarten.lv2/libbrummkiste-tiefgarten.so lv2/brummkiste-tiefgarten.lv2/manifest.ttl \
    "vst3/brummkiste-tiefgarten.vst3/Contents/$name-linux/brummkiste-tiefgarten.so" \
    "vst3/brummkiste-tiefgarten-stereo.vst3/Contents/$name-linux/brummkiste-tiefgarten-stereo.so" \
    "vst3/presets/Brummkiste/Brummkiste Tiefgarten/Large hall.vstpreset" \
    clap/brummkiste-tiefgarten.clap clap/brummkiste-tiefgarten-stereo.clap LICENSE INSTALL.txt \
    bin/brummkiste-tiefgarten-jack bin/brummkiste-tiefgarten-stereo-jack \
    man/brummkiste-tiefgarten-jack.1.gz man/brummkiste-tiefgarten-stereo-jack.1.gz \
    lv2/brummkiste-tiefgarten.lv2/modgui.ttl lv2/brummkiste-tiefgarten.lv2/modgui/knob.png; do
    grep -qx "brummkiste-tiefgarten-$version-linux-$name/$f" <<<"$listing" || fail "$archive lacks $f"
  done
done
echo "archives: complete"
