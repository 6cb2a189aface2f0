#!/usr/bin/env bash
# Sets up or tears down what the test suite shares: the project's Wine
# prefix and one Xvfb display. Usage: test-env.sh start|stop BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
usage() { echo "usage: test-env.sh start|stop BUILD_DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
cmd=$1 build=$2
case "$cmd" in
  start)
    bash "$here/wine-prefix.sh" "$build"
    bash "$here/xvfb.sh" start "$build/xvfb.state"
    ;;
  stop)
    source "$here/wine-env.sh"
    velmora_wine_env "$build" && WINEPREFIX=$build/wine/prefix "$WINESERVER" -k >/dev/null 2>&1 || true
    bash "$here/xvfb.sh" stop "$build/xvfb.state"
    ;;
  *) usage ;;
esac
