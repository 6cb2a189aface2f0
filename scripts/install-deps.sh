#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine needs to build, test and demo
# the installer. Quick when everything is already present.
set -euo pipefail

PACKAGES=(
  g++-mingw-w64-i686-posix cmake make
  wine wine32:i386 xvfb xauth x11-utils xdotool imagemagick
  fonts-wqy-microhei rapidjson-dev googletest
  python3 nginx-light file openssl zopfli osslsigncode
)

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${SUDO[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
