#!/usr/bin/env bash
# Runs the installer under Wine against the bundled local vendor server
# (scripts/demo.py does the work). With a display, the person uses the
# window; without one, a full install is driven in Xvfb and screenshots of
# its pages go to out/demo/.
# Usage: demo.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec python3 "$here/demo.py" "$1"
