#!/usr/bin/env bash
# Runs the installer under Wine against the bundled local vendor server
# (scripts/demo.py does the work). With a display, the person uses the
# window; without one, a full install is driven in Xvfb and screenshots of
# its pages go to out/demo/.
# Usage: demo.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# Debian's own Python, started directly (see VELMORA_PYTHON in CMakeLists.txt).
python=/usr/bin/python3; [ -x "$python" ] || python=python3
exec "$python" "$here/demo.py" "$1"
