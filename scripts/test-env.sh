#!/usr/bin/env bash
# Sets up or tears down what the test suite shares: the project's Wine
# prefix, one Xvfb display and the warm sessions the tests borrow
# (tests/e2e/seats.py). Usage: test-env.sh start|stop BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
usage() { echo "usage: test-env.sh start|stop BUILD_DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
cmd=$1 build=$2
# Debian's own Python, started directly (see VELMORA_PYTHON in CMakeLists.txt).
python=/usr/bin/python3; [ -x "$python" ] || python=python3
case "$cmd" in
  start)
    # Warm sessions left by an interrupted run end first.
    "$python" "$here/../tests/e2e/seats.py" stop "$build"
    bash "$here/wine-prefix.sh" "$build"
    bash "$here/xvfb.sh" start "$build/xvfb.state"
    ;;
  stop)
    "$python" "$here/../tests/e2e/seats.py" stop "$build"
    for prefix in "$build"/wine/prefix*; do
      [ -d "$prefix" ] && WINEPREFIX=$prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    done
    bash "$here/xvfb.sh" stop "$build/xvfb.state"
    ;;
  *) usage ;;
esac
