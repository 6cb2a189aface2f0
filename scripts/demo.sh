#!/usr/bin/env bash
# Runs the installer under Wine in a demo copy of the project's prefix.
# With a display, the person uses the window; without one, it runs in Xvfb,
# saves a screenshot to out/demo/ and closes the window.
# Usage: demo.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
src=$(cd "$here/.." && pwd)
out=$src/out/demo
mkdir -p "$out" "$build/wine"

bash "$here/wine-prefix.sh" "$build/wine/prefix"
demo_prefix=$build/wine/demo
bash "$here/prefix-copy.sh" "$build/wine/prefix" "$demo_prefix"
export VELMORA_PREFIX=$demo_prefix
cleanup() { WINEPREFIX=$demo_prefix wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT

run() { bash "$here/wine-run.sh" "$build" "$@"; }
title="Velmora安装向导"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "demo: the installer opens on $DISPLAY; close it to end the demo."
  export VELMORA_DISPLAY=$DISPLAY
  run "$build/VelmoraInstaller.exe"
  exit 0
fi

state=$build/xvfb.demo
bash "$here/xvfb.sh" start "$state"
trap 'cleanup; bash "$here/xvfb.sh" stop "$state"' EXIT
export VELMORA_DISPLAY=$(cut -d' ' -f1 "$state")
run "$build/VelmoraInstaller.exe" &
app=$!
run "$build/tests/winprobe.exe" find "$title" 30000 >/dev/null
sleep 1
run "$build/tests/winprobe.exe" shot "$title" 'C:\demo.bmp' >/dev/null
/usr/bin/convert "$demo_prefix/drive_c/demo.bmp" "$out/options.png"
run "$build/tests/winprobe.exe" close "$title" >/dev/null
wait "$app" || true
echo "demo: screenshot of the installer window: $out/options.png"
