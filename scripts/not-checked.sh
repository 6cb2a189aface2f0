#!/usr/bin/env bash
# Prints, after a test run, what the run could not check on this machine:
# a green run in the x86_64 mode must not hide what only the 32-bit mode
# shows, nor the other way round.
# Usage: not-checked.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
arch=$(cat "$1/velmora-arch")
native=$(bash "$here/test-arch.sh" --native)
echo "not checked here:"
if [ "$arch" = x86_64 ]; then
  echo "  - the shipped i686 installer running: every test ran the x86_64 build of the same sources (the i386"
  echo "    entry point and stack at entry, 32-bit structure layouts); its size, headers, imports and manifest"
  echo "    were checked without running it"
  echo "  - a 32-bit Windows: a one-view registry, Windows XP as a 32-bit system (the XP pass ran as XP x64,"
  echo "    winxp64), the 32-bit installer under WOW64 (the registry's 32-bit view was reached from a 64-bit"
  echo "    build through KEY_WOW64_32KEY)"
  echo "  - which DLLs 32-bit Wine itself loads from a program's folder"
  if [ "$native" = i686 ]; then
    echo "  (this machine runs 32-bit code: make test without VELMORA_TEST_ARCH checks these)"
  fi
else
  echo "  - the x86_64 build the tests use on machines that run 64-bit code only"
  echo "    (VELMORA_TEST_ARCH=x86_64 BUILD=build-x86_64 make test; .ci/run runs part of it)"
fi
echo "  - on any machine, under Wine: access lists (DACLs) of the staging folder, the UAC prompt, and"
echo "    Windows' own WinInet redirect and TLS policy"
