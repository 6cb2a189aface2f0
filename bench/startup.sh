#!/usr/bin/env bash
# Prints the installer's size and its start-to-visible-window time under
# Wine (median of RUNS runs, default 7), with no vendor server answering.
# Usage: bench/startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${2:-7}
title=$(python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import harness; print(harness.WINDOW_TITLE)' "$here/../tests/e2e")
echo "executable: $(stat -c %s "$build/VelmoraInstaller.exe") bytes"
VELMORA_FRESH_PREFIX=1 bash "$here/../scripts/wine-run.sh" "$build" "$build/bench/startup_bench.exe" \
  "$build/VelmoraInstaller.exe" "$title" "$runs"
