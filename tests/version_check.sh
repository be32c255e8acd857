#!/usr/bin/env bash
# One version everywhere: CMake's project() version must be the one in the
# built Turtle files (lv2:minorVersion, lv2:microVersion), debian/changelog,
# and the README's archive names; and a release number by LV2's rule (even,
# non-zero minor version; even micro version), which hosts show by default.
#
# usage: version_check.sh VERSION SOURCE_DIR BUNDLE_DIR
set -euo pipefail
version=$1 source_dir=$2 bundle=$3
. "$(dirname "$0")/../tools/script-lib.sh"
IFS=. read -r major minor micro <<<"$version"
[ $((minor % 2)) -eq 0 ] && [ "$minor" -ne 0 ] || fail "minor version $minor is a development version for LV2"
[ $((micro % 2)) -eq 0 ] || fail "micro version $micro is a development version for LV2"
for ttl in "$bundle/brummkiste-tiefgarten.ttl" "$bundle/brummkiste-tiefgarten-stereo.ttl"; do
  grep -q "lv2:minorVersion $minor ;" "$ttl" || fail "$ttl: lv2:minorVersion is not $minor"
  grep -q "lv2:microVersion $micro ;" "$ttl" || fail "$ttl: lv2:microVersion is not $micro"
done
changelog=$(head -1 "$source_dir/debian/changelog")
[[ "$changelog" == "brummkiste-tiefgarten ($version) "* ]] ||
  fail "debian/changelog starts with '$changelog', not version $version"
for name in x86_64 aarch64; do
  grep -q "brummkiste-tiefgarten-$version-linux-$name.tar.gz" "$source_dir/README.md" ||
    fail "README does not name brummkiste-tiefgarten-$version-linux-$name.tar.gz"
done
grep -q "brummkiste-tiefgarten-lv2_${version}_amd64.deb" "$source_dir/README.md" ||
  fail "README does not name the package of version $version"
echo "version $version (major $major) everywhere"
