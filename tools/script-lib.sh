# What the project's shell scripts share; sourced, not run.

# Stop with a message on stderr.
fail() { echo "FAIL: $*" >&2; exit 1; }
