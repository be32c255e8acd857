# Debian's Chromium, headless, as the pedal face's pictures and test use
# it: no network, no sandbox (root), a profile of its own; sourced.
# chromium_page ARGS... URL
chromium_page() {
  local profile
  profile=$(mktemp -d)
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --allow-file-access-from-files --hide-scrollbars \
    --virtual-time-budget=5000 "$@" 2>/dev/null
  local status=$?
  rm -rf "$profile"
  return $status
}
