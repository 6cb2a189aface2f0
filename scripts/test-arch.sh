#!/usr/bin/env bash
# Which architecture the test build and its Wine prefix use on this machine.
#
#   test-arch.sh            i686 or x86_64: the test mode
#   test-arch.sh --native   i686 where this machine's kernel runs 32-bit x86
#                           code itself, x86_64 where it runs 64-bit code only
#   test-arch.sh --describe one line saying which mode was chosen and why
#
# The test mode is the native one unless VELMORA_TEST_ARCH (i686 or x86_64)
# forces another. Some machines refuse every 32-bit x86 program (the
# kernel's IA-32 emulation is off): there the tests are built for x86_64 and
# run in a 64-bit prefix, and the shipped i686 installer runs in the i686
# entries (make test-i686) under user-mode emulation (scripts/emu32.py). A
# 32-bit program that runs only because an emulator is registered does not
# make the machine a 32-bit one.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3; [ -x "$python" ] || python=python3

status=$("$python" "$here/emu32.py" status)
if [ "$status" = native ]; then machine=i686; else machine=x86_64; fi
mode=${VELMORA_TEST_ARCH:-$machine}
case "$mode" in
  i686 | x86_64) ;;
  *) echo "test-arch: VELMORA_TEST_ARCH must be i686 or x86_64, not '$mode'" >&2; exit 2 ;;
esac
if [ "$mode" = i686 ] && [ "$status" = none ]; then
  echo "test-arch: $("$python" "$here/emu32.py" describe); VELMORA_TEST_ARCH=i686 cannot be served" >&2
  exit 2
fi

case "${1:-}" in
  --native) echo "$machine" ;;
  --describe)
    if [ "$mode" = i686 ] && [ "$machine" = i686 ]; then
      echo "test mode: i686 (this machine runs 32-bit code): tests run the 32-bit build in a 32-bit Wine prefix"
    elif [ "$mode" = i686 ]; then
      echo "test mode: i686 under emulation: the i686 entries run the 32-bit build, its 32-bit processes emulated"
    elif [ "$machine" = i686 ]; then
      echo "test mode: x86_64, forced by VELMORA_TEST_ARCH: tests run an x86_64 build in a 64-bit Wine prefix" \
           "(the shipped installer stays the i686 build)"
    else
      echo "test mode: x86_64 (this machine runs 64-bit code only): tests run an x86_64 build in a 64-bit Wine" \
           "prefix (the shipped installer stays the i686 build; make test-i686 runs it)"
    fi
    echo "  $("$python" "$here/emu32.py" describe)"
    ;;
  "") echo "$mode" ;;
  *) echo "usage: test-arch.sh [--native|--describe]" >&2; exit 2 ;;
esac
