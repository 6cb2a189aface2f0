#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's prefix, inside an X
# display: the suite's shared Xvfb when it runs, otherwise a private one.
# Usage: wine-run.sh BUILD_DIR PROGRAM [ARGS...]
# Environment:
#   VELMORA_FRESH_PREFIX=1  run in a throw-away copy of the prefix, for tests
#                           that change the registry or files of the prefix.
#   VELMORA_WINVER=VER      with VELMORA_FRESH_PREFIX=1 or VELMORA_PREFIX: that
#                           prefix reports this Windows version first (winecfg
#                           -v VER, e.g. winxp; a 64-bit prefix takes winxp64
#                           for it). The project's own prefix never changes.
#   VELMORA_PREFIX=DIR      run in the prefix DIR (made with prefix-copy.sh).
#   VELMORA_DISPLAY=:N      use this X display.
#   VELMORA_PREFIX_KIND=K   the build's prefix of kind K (win32 or win64;
#                           scripts/wine-env.sh).
#   VELMORA_DLL_OVERRIDES=O more Wine DLL overrides, appended to the ones set
#                           here: e.g. "version,uxtheme=n,b" makes Wine look
#                           for those DLLs in the program's folder first, as
#                           Windows does (the DLL-planting tests).
# Exits with the program's exit status. On any exit, also by SIGTERM, SIGINT
# or SIGHUP, it stops the program, removes its prefix copy and stops the
# Xvfb it started itself.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd); shift
source "$here/wine-env.sh"
velmora_wine_env "$build" || exit 1

copy="" own_x="" child=""
cleanup() {
  [ -n "$child" ] && kill "$child" 2>/dev/null
  if [ -n "$copy" ]; then
    # The copy's wineserver first, so no program of it writes while it goes.
    WINEPREFIX=$copy "$WINESERVER" -k >/dev/null 2>&1
    rm -rf "$copy"
  fi
  [ -n "$own_x" ] && bash "$here/xvfb.sh" stop "$own_x"
}
trap cleanup EXIT
# exit runs the EXIT trap; the status is the usual 128 + signal number.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

base=$VELMORA_BASE_PREFIX
bash "$here/wine-prefix.sh" "$build" || exit 1

export WINEDEBUG=${VELMORA_WINEDEBUG:--all} LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=${VELMORA_DLL_OVERRIDES:+;$VELMORA_DLL_OVERRIDES}"

prefix=${VELMORA_PREFIX:-$base}
if [ -z "${VELMORA_PREFIX:-}" ] && [ "${VELMORA_FRESH_PREFIX:-0}" = 1 ]; then
  copy=$(mktemp -d "$build/wine/run.XXXXXX")
  bash "$here/prefix-copy.sh" "$base" "$copy"
  prefix=$copy
fi
export WINEPREFIX=$prefix

state=$build/xvfb.state
if [ -n "${VELMORA_DISPLAY:-}" ]; then
  export DISPLAY=$VELMORA_DISPLAY
elif [ -f "$state" ] && kill -0 "$(cut -d' ' -f2 "$state")" 2>/dev/null; then
  export DISPLAY=$(cut -d' ' -f1 "$state")
else
  own_x=$(mktemp -u "$build/xvfb.own.XXXXXX")
  bash "$here/xvfb.sh" start "$own_x" || exit 1
  export DISPLAY=$(cut -d' ' -f1 "$own_x")
fi

# Start the session's server and background programs (services, desktop)
# with no inherited output: otherwise they would hold the first caller's
# pipes open long after it ended. The lock makes concurrent callers wait
# for one warm-up.
(
  flock 9
  if "$WINESERVER" -p3 </dev/null >/dev/null 2>&1 9>&-; then
    "$WINELOADER" rundll32.exe </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$prefix/.session.lock"
# After the warm-up: the session's desktop must start with the display.
if [ -n "${VELMORA_WINVER:-}" ] && [ "$prefix" != "$base" ]; then
  "$WINELOADER" winecfg.exe -v "$(velmora_winver "$VELMORA_WINVER")" </dev/null >/dev/null 2>&1 ||
    { echo "wine-run: winecfg -v $VELMORA_WINVER failed" >&2; exit 1; }
fi
# In the background, as bash runs traps only between commands but at once
# during wait; stdin stays the caller's, not the /dev/null of a background job.
"$WINELOADER" "$@" <&0 &
child=$!
wait "$child"
rc=$?
child=""
exit $rc
