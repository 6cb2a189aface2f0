#!/usr/bin/env bash
# Configures the demo/test build: the vendor server compiled in is
# 127.0.0.1 on a port that is free on this machine (kept while it stays free).
# Usage: configure.sh BUILD_DIR
set -euo pipefail
build=$1
src=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build"
port_file=$build/.server_port
port=$(cat "$port_file" 2>/dev/null || true)
port=$(python3 "$src/scripts/free_port.py" "$port")
if [ ! -f "$build/CMakeCache.txt" ] || [ "$(cat "$port_file" 2>/dev/null)" != "$port" ]; then
  cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" \
        -DVELMORA_SERVER="127.0.0.1:$port" >/dev/null
  echo "$port" >"$port_file"
fi
