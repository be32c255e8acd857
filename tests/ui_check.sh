#!/usr/bin/env bash
# Runs a UI test program in its own virtual X server.
set -euo pipefail
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
