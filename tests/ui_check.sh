#!/usr/bin/env bash
# Runs a UI test program in its own virtual X server. -noreset: the server
# would otherwise reset whenever its last client disconnects (between two
# tests), and a connection made during the reset fails.
set -euo pipefail
exec xvfb-run -a -s "-screen 0 1600x1200x24 -noreset" "$@"
