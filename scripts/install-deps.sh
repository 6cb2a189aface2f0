#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine needs to build, test and demo
# the installer. Quick when everything is already present.
#
# Both MinGW-w64 compilers: the shipped installer is always the i686 build,
# and the tests run an x86_64 build where the machine runs 64-bit code only
# (scripts/test-arch.sh). 64-bit Wine always; 32-bit Wine only where the
# machine can run it (there CI also tries the 64-bit mode).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# Wine's TLS comes from GnuTLS, which Wine only recommends (and recommended
# packages are not installed here): without it no HTTPS request gets through.
# The native tests of the pure units (tests/native) take clang with its
# sanitizer and fuzzer runtimes, libpng as the PNG decoder's reference, and
# OpenSSL's library in place of CryptoAPI.
PACKAGES=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix cmake make
  wine wine64 libgnutls30 xvfb xauth x11-utils xdotool imagemagick squid
  fonts-wqy-microhei rapidjson-dev googletest
  python3 nginx-light file openssl zopfli osslsigncode
  clang-14 libclang-rt-14-dev libpng-dev libssl-dev
)
native=$(bash "$here/test-arch.sh" --native)
[ "$native" = i686 ] && PACKAGES+=(wine32:i386 libgnutls30:i386)

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
if [ "$native" = i686 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${SUDO[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
