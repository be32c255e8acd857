#!/usr/bin/env bash
# Checks what tools/package.sh made (building it when dist/ lacks it):
# lintian on both packages; the amd64 package installed into a fresh Debian 12
# root (mmdebstrap, then apt install ./package lilv-utils) where lv2ls lists
# both plugins and lv2apply renders the same bits as the build tree; removed
# again, nothing left under /usr/lib/lv2; the arm64 package's contents and its
# library's stored output hashes under qemu-aarch64; both archives' contents.
#
# usage: test-packages.sh BUILD_DIR ARM64_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
build_arm64=$(cd "${2:-build-arm64}" && pwd)
version=$(sed -n 's/^project(brummkiste_tiefgarten VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
uri=http://brummkiste.audio/plugins/brummkiste-tiefgarten
fail() { echo "FAIL: $*" >&2; exit 1; }

tools/install-deps.sh lintian mmdebstrap lilv-utils sox libsox-fmt-base qemu-user file
amd64=dist/brummkiste-tiefgarten-lv2_${version}_amd64.deb
arm64=dist/brummkiste-tiefgarten-lv2_${version}_arm64.deb
[ -f "$amd64" ] && [ -f "$arm64" ] || tools/package.sh >/dev/null

# lintian: no error, no warning (overrides, if any, live in debian/).
lintian --fail-on error,warning "$amd64" "$arm64" 2>&1 | grep -v "running with root privileges" || true
lintian --fail-on error,warning "$amd64" "$arm64" >/dev/null 2>&1 || fail "lintian"
echo "lintian: clean"

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
# The samples, not the files: the WAV header's peak chunk carries a time stamp.
sox -V1 "$root/tmp/packaged.wav" -t f32 "$work/packaged.f32"
sox -V1 "$work/built.wav" -t f32 "$work/built.f32"
cmp "$work/packaged.f32" "$work/built.f32" || fail "the installed package renders other bits than the build tree"
echo "fresh root: lv2apply renders the build tree's bits"
in_root apt-get remove -y -qq brummkiste-tiefgarten-lv2 >/dev/null 2>&1 || fail "apt remove in the fresh root"
[ ! -e "$root/usr/lib/lv2/brummkiste-tiefgarten.lv2" ] || fail "files left under /usr/lib/lv2 after removal"
echo "fresh root: removed, nothing left under /usr/lib/lv2"

# arm64: contents, and the packaged library's hashes under qemu.
dpkg-deb -x "$arm64" "$work/arm64"
bundle="$work/arm64/usr/lib/lv2/brummkiste-tiefgarten.lv2"
for f in libbrummkiste-tiefgarten.so libbrummkiste-tiefgarten-ui.so manifest.ttl \
  brummkiste-tiefgarten.ttl brummkiste-tiefgarten-stereo.ttl presets.ttl; do
  [ -f "$bundle/$f" ] || fail "arm64 package lacks $f"
done
file "$bundle/libbrummkiste-tiefgarten.so" | grep -q "ARM aarch64" || fail "arm64 library is not aarch64"
qemu-aarch64 -L /usr/aarch64-linux-gnu -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib \
  "$build_arm64/tests/hash_check" "$bundle/libbrummkiste-tiefgarten.so"

# The archives: the bundle, the licence and the install text.
for name in x86_64 aarch64; do
  archive="dist/brummkiste-tiefgarten-$version-linux-$name.tar.gz"
  listing=$(tar -tzf "$archive")
  for f in brummkiste-tiefgarten.lv2/libbrummkiste-tiefgarten.so brummkiste-tiefgarten.lv2/manifest.ttl \
    LICENSE INSTALL.txt; do
    grep -qx "brummkiste-tiefgarten-$version-linux-$name/$f" <<<"$listing" || fail "$archive lacks $f"
  done
done
echo "archives: complete"
