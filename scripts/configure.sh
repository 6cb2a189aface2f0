#!/usr/bin/env bash
# Configures the demo/test build: the vendor server compiled in is
# 127.0.0.1 on a port that is free on this machine (kept while it stays free),
# for the test architecture of this machine (scripts/test-arch.sh).
# Usage: configure.sh BUILD_DIR
set -euo pipefail
build=$1
src=$(cd "$(dirname "$0")/.." && pwd)
arch=$(bash "$src/scripts/test-arch.sh")
toolchain=$src/cmake/mingw-$arch.cmake
mkdir -p "$build"
# A build of the other architecture starts afresh (its port and key stay):
# CMake keeps the first toolchain of a build for good.
if [ -f "$build/CMakeCache.txt" ] &&
   ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" "$build/CMakeCache.txt"; then
  echo "configure: $build was built for another architecture; building it anew for $arch"
  find "$build" -mindepth 1 -maxdepth 1 ! -name manifest-key ! -name .server_port -exec rm -rf {} +
fi
port_file=$build/.server_port
port=$(cat "$port_file" 2>/dev/null || true)
port=$(python3 "$src/scripts/free_port.py" "$port")
# A throw-away manifest-signing key of this build's own: the demo and the
# end-to-end tests sign their manifests with it. Never committed.
key=$build/manifest-key
if [ ! -f "$key/public.pem" ]; then
  mkdir -p "$key"
  openssl genrsa -out "$key/private.pem" 2048 2>/dev/null
  openssl rsa -in "$key/private.pem" -pubout -out "$key/public.pem" 2>/dev/null
fi
public=$(cd "$key" && pwd)/public.pem
# VELMORA_NATIVE_UNITS=OFF leaves out the native build of the pure units
# (a build for the i686 entries alone does not run them).
native=${VELMORA_NATIVE_UNITS:-ON}
if [ ! -f "$build/CMakeCache.txt" ] || [ "$(cat "$port_file" 2>/dev/null)" != "$port" ] ||
   ! grep -qxF "VELMORA_MANIFEST_KEY:FILEPATH=$public" "$build/CMakeCache.txt" ||
   ! grep -qxF "VELMORA_NATIVE_UNITS:BOOL=$native" "$build/CMakeCache.txt"; then
  cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DVELMORA_SERVER="127.0.0.1:$port" -DVELMORA_MANIFEST_KEY="$public" -DVELMORA_NATIVE_UNITS="$native" >/dev/null
  echo "$port" >"$port_file"
fi
