#!/usr/bin/env bash
# Checks the built bundle the way hosts read it: Turtle syntax (sordi), the
# LV2 schemas (sord_validate against the LV2 schema bundles that
# lv2-dev installs) and the library's exported symbols.
set -euo pipefail
bundle=$(cd "$1" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

for ttl in "$bundle"/*.ttl; do
  sordi "file://$ttl" >/dev/null || fail "syntax: $ttl"
done
echo "syntax ok"

mapfile -t schemas < <(dpkg -L lv2-dev | grep -E '^/usr/lib/lv2/[^/]+\.lv2/[^/]+\.ttl$' | sort)
[ "${#schemas[@]}" -gt 20 ] || fail "LV2 schema files not found (is lv2-dev installed?)"
# sord_validate's exit code does not reflect errors; its summary line does.
report=$(sord_validate "${schemas[@]}" "$bundle"/*.ttl 2>&1 || true)
if ! grep -q "Found 0 errors" <<<"$report"; then
  echo "$report" >&2
  fail "sord_validate reported errors"
fi
grep "Found 0 errors" <<<"$report"

symbols=$(nm -D --defined-only "$bundle/libbrummkiste-tiefgarten.so" | awk '{print $3}')
[ "$symbols" = "lv2_descriptor" ] || fail "exported symbols: $symbols"
echo "exports ok: $symbols"

ui="$bundle/libbrummkiste-tiefgarten-ui.so"
if [ -e "$ui" ]; then
  symbols=$(nm -D --defined-only "$ui" | awk '{print $3}')
  [ "$symbols" = "lv2ui_descriptor" ] || fail "UI exported symbols: $symbols"
  echo "UI exports ok: $symbols"
fi
