#!/usr/bin/env bash
# Checks the built bundle the way hosts read it: Turtle syntax (sordi), the
# LV2 schemas (sord_validate against the LV2 schema bundles that
# lv2-dev installs), the MOD store's criteria and the library's exported
# symbols.
set -euo pipefail
bundle=$(cd "$1" && pwd)
. "$(dirname "$0")/../tools/script-lib.sh"

for ttl in "$bundle"/*.ttl; do
  sordi "file://$ttl" >/dev/null || fail "syntax: $ttl"
done
echo "syntax ok"

# (lv2-dev of this machine's architecture: a cross-build setup may have
# another architecture's copy as well.)
lv2_dev="lv2-dev:$(dpkg --print-architecture)"
dpkg -L "$lv2_dev" >/dev/null 2>&1 || lv2_dev=lv2-dev
mapfile -t schemas < <(dpkg -L "$lv2_dev" | grep -E '^/usr/lib/lv2/[^/]+\.lv2/[^/]+\.ttl$' | sort)
[ "${#schemas[@]}" -gt 20 ] || fail "LV2 schema files not found (is lv2-dev installed?)"
# sord_validate's exit code does not reflect errors; its summary line does.
# The pedal-board vocabulary (mod:brand, mod:label) has no Debian schema;
# a small description of its two terms stands in.
schemas+=("$(dirname "$0")/schemas/mod.ttl")
report=$(sord_validate "${schemas[@]}" "$bundle"/*.ttl 2>&1 || true)
if ! grep -q "Found 0 errors" <<<"$report"; then
  echo "$report" >&2
  fail "sord_validate reported errors"
fi
grep "Found 0 errors" <<<"$report"
# Pedal boards cut longer names.
while IFS= read -r line; do
  value=${line#*\"}; value=${value%\"*}
  case "$line" in
    *mod:brand*) [ "${#value}" -le 11 ] || fail "mod:brand longer than 11 characters: $value" ;;
    *mod:label*) [ "${#value}" -le 16 ] || fail "mod:label longer than 16 characters: $value" ;;
  esac
done < <(grep -h "mod:brand\|mod:label" "$bundle"/*.ttl)

# What the MOD boards' store asks of a bundle (names, description, version,
# homepage, presets, ranges in their units, the pedal face's files).
python3 "$(dirname "$0")/store_check.py" "$bundle"

symbols=$(nm -D --defined-only "$bundle/libbrummkiste-tiefgarten.so" | awk '{print $3}')
[ "$symbols" = "lv2_descriptor" ] || fail "exported symbols: $symbols"
echo "exports ok: $symbols"

ui="$bundle/libbrummkiste-tiefgarten-ui.so"
if [ -e "$ui" ]; then
  symbols=$(nm -D --defined-only "$ui" | awk '{print $3}')
  [ "$symbols" = "lv2ui_descriptor" ] || fail "UI exported symbols: $symbols"
  echo "UI exports ok: $symbols"
fi
