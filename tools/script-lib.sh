# What the project's shell scripts share; sourced, not run.

# Stop with a message on stderr.
fail() { echo "FAIL: $*" >&2; exit 1; }

# identity NAME: the plugin's string BRUMMKISTE_NAME from the identity header
# (control/identity.h), for example `identity PLUGIN_URI`.
BRUMMKISTE_IDENTITY_H="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/control/identity.h"
identity() {
  local value
  value=$(sed -n "s/^#define BRUMMKISTE_$1 \"\(.*\)\"$/\1/p" "$BRUMMKISTE_IDENTITY_H")
  [ -n "$value" ] || fail "control/identity.h defines no BRUMMKISTE_$1"
  echo "$value"
}
