#!/usr/bin/env bash
# Prints the installer's size and how long it takes from process start to
# its visible window under Wine, against a bare program that only opens a
# 622x422 window (bench/bare_window.cpp, same toolchain): each one's median
# and the median, lowest and highest ratio over RUNS rounds (default 15) in
# one prefix, with no vendor server answering. A third program,
# bench/bare_dialog.cpp, shows the installer's own dialog template with its
# manifest and nothing else: its ratio is the part of the installer's start
# the dialog itself costs.
# Usage: bench/startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
runs=${2:-15}
title=$(python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import harness; print(harness.WINDOW_TITLE)' "$here/../tests/e2e")
echo "executable: $(stat -c %s "$build/VelmoraInstaller.exe") bytes"
VELMORA_FRESH_PREFIX=1 bash "$here/../scripts/wine-run.sh" "$build" "$build/bench/startup_bench.exe" "$runs" \
  "Z:$build/VelmoraInstaller.exe" "$title" "Z:$build/bench/bare_window.exe" "Velmora bare window" \
  "Z:$build/bench/bare_dialog.exe Z:$build/VelmoraInstaller.exe" "Installer"
