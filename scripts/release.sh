#!/usr/bin/env bash
# Builds the release executable: the vendor server's real address, the
# public key of the manifest signatures from VELMORA_MANIFEST_KEY (without
# one the installer takes unsigned manifests), no test seams. The same
# sources build the same bytes in any checkout; the SHA-256 printed is the
# one to publish and to check a download against.
#
# With VELMORA_SIGN_CERT and VELMORA_SIGN_KEY (PEM files) it also signs a
# copy with osslsigncode, dated at the last commit so that signing twice
# gives the same file, and prints that file's SHA-256 too.
# Usage: release.sh [BUILD_DIR]   (default build-release)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$src/build-release}
cmake -S "$src" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DVELMORA_TESTS=OFF \
      -DVELMORA_MANIFEST_KEY="${VELMORA_MANIFEST_KEY:-}" >/dev/null
cmake --build "$out" -j2 >/dev/null
exe=$out/VelmoraInstaller.exe
echo "release: $exe, $(stat -c %s "$exe") bytes"
echo "release: SHA-256 $(sha256sum "$exe" | cut -d' ' -f1)"

if [ -n "${VELMORA_SIGN_CERT:-}" ] && [ -n "${VELMORA_SIGN_KEY:-}" ]; then
  signed=$out/VelmoraInstaller-signed.exe
  when=$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 0)
  rm -f "$signed"
  osslsigncode sign -certs "$VELMORA_SIGN_CERT" -key "$VELMORA_SIGN_KEY" -h sha256 -n "Velmora" \
               -time "$when" -in "$exe" -out "$signed" >/dev/null
  echo "release: signed $signed, SHA-256 $(sha256sum "$signed" | cut -d' ' -f1)"
fi
