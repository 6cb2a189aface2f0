#!/usr/bin/env bash
# Starts or stops the test suite's shared Xvfb display.
# Usage: xvfb.sh start STATEFILE | xvfb.sh stop STATEFILE
# STATEFILE holds "DISPLAY PID" while the display runs.
set -euo pipefail
cmd=${1:-} state=${2:-}
[ -n "$state" ] || cmd=usage
case "$cmd" in
  start)
    if [ -f "$state" ] && kill -0 "$(cut -d' ' -f2 "$state")" 2>/dev/null; then exit 0; fi
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ac 3>"$fdfile" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
    num=$(tr -d '\n' <"$fdfile"); rm -f "$fdfile"
    [ -n "$num" ] || { echo "xvfb: no display" >&2; kill "$pid" 2>/dev/null; exit 1; }
    echo ":$num $pid" >"$state"
    ;;
  stop)
    [ -f "$state" ] || exit 0
    kill "$(cut -d' ' -f2 "$state")" 2>/dev/null || true
    rm -f "$state"
    ;;
  *) echo "usage: xvfb.sh start|stop STATEFILE" >&2; exit 2 ;;
esac
