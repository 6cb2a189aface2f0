#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine needs to build, test and demo
# the installer. Quick when everything is already present.
#
# Both MinGW-w64 compilers: the shipped installer is always the i686 build,
# and the tests run an x86_64 build where the machine runs 64-bit code only
# (scripts/test-arch.sh). 64-bit and 32-bit Wine: the i686 entries run the
# shipped 32-bit program on every machine, where the kernel refuses 32-bit
# code under Debian's qemu-i386 (scripts/emu32.py), which comes from
# bookworm-backports (Debian 12's own qemu 7.2 takes 72-94 s to start one
# 32-bit Wine process): its package is fetched through a source list of its
# own, checked by apt against Debian's signed index, and only its qemu-i386
# is kept, in /opt/velmora/qemu (nothing is registered with the kernel).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# Wine's TLS comes from GnuTLS, which Wine only recommends (and recommended
# packages are not installed here): without it no HTTPS request gets through.
# The native tests of the pure units (tests/native) take clang with its
# sanitizer and fuzzer runtimes, libpng as the PNG decoder's reference, and
# OpenSSL's library in place of CryptoAPI.
PACKAGES=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix cmake make
  wine wine64 wine32:i386 libgnutls30 libgnutls30:i386 xvfb xauth x11-utils xdotool imagemagick squid
  fonts-wqy-microhei rapidjson-dev googletest
  python3 nginx-light file openssl zopfli osslsigncode
  clang-14 libclang-rt-14-dev libpng-dev libssl-dev
)
QEMU_VERSION="1:10.0.2+ds-2+deb13u1~bpo12+1"
QEMU_DIR=/opt/velmora/qemu

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${SUDO[@]}" dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The emulator, where the kernel runs no 32-bit code.
[ "$(bash "$here/test-arch.sh" --native)" = i686 ] && exit 0
[ "$(cat "$QEMU_DIR/version" 2>/dev/null)" = "$QEMU_VERSION" ] && [ -x "$QEMU_DIR/qemu-i386" ] && exit 0
echo "install-deps: fetching qemu-i386 $QEMU_VERSION from bookworm-backports"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/archives/partial"
echo "deb http://deb.debian.org/debian bookworm-backports main" >"$work/sources.list"
apt_private=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o Dir::State::Lists="$work/lists" -o Dir::Cache::Archives="$work/archives" -o Debug::NoLocking=1
             -o APT::Sandbox::User=root)
apt-get "${apt_private[@]}" update -qq
(cd "$work" && apt-get "${apt_private[@]}" download -qq "qemu-user=$QEMU_VERSION" 2>/dev/null)
dpkg-deb -x "$work"/qemu-user_*.deb "$work/root"
"$work/root/usr/bin/qemu-i386" --version | grep -q "version 10.0.2" || { echo "install-deps: qemu-i386 does not run" >&2; exit 1; }
"${SUDO[@]}" mkdir -p "$QEMU_DIR"
"${SUDO[@]}" install -m 0755 "$work/root/usr/bin/qemu-i386" "$QEMU_DIR/qemu-i386"
echo "$QEMU_VERSION" | "${SUDO[@]}" tee "$QEMU_DIR/version" >/dev/null
