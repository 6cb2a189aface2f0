#!/usr/bin/env bash
# Prints, after a test run, what the run could not check on this machine:
# a green run in one mode must not hide what only another shows.
# Usage: not-checked.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
arch=$(cat "$1/velmora-arch")
native=$(bash "$here/test-arch.sh" --native)
echo "not checked here:"
if [ "$arch" = x86_64 ]; then
  echo "  - the shipped i686 installer running: every entry here ran the x86_64 build of the same sources"
  if [ "$native" = i686 ]; then
    echo "    (this machine runs 32-bit code: make test without VELMORA_TEST_ARCH runs the i686 build)"
  else
    echo "    (make test-i686 runs the i686 entries: the shipped program under emulation in a 64-bit and a"
    echo "    32-bit Windows, from start to window through install, failure box, Retry, HTTPS, DPI and a"
    echo "    second start, and the install steps on both kinds of registry)"
  fi
elif [ "$native" != i686 ]; then
  echo "  - the i686 program on a kernel that runs 32-bit code: here qemu-user emulated it (a null-pointer"
  echo "    write comes out as an illegal instruction, 0xC000001D, not 0xC0000005; timings are slower)"
  echo "  - as i686, the entries other than i686_*: trust, proxy, the TLS and redirect tables, the other DPIs,"
  echo "    the network programs (make test ran them as x86_64)"
else
  echo "  - the x86_64 build the tests use on machines that run 64-bit code only"
  echo "    (VELMORA_TEST_ARCH=x86_64 BUILD=build-x86_64 make test; .ci/run runs part of it)"
fi
echo "  - on any machine, under Wine: access lists (DACLs) of the staging folder, the UAC prompt,"
echo "    Windows' own WinInet redirect and TLS policy, Windows' own proxy login prompt (Wine's was"
echo "    seen), and a proxy that asks for NTLM or Negotiate (no such proxy runs here)"
