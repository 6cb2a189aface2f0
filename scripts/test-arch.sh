#!/usr/bin/env bash
# Which architecture the test build and its Wine prefix use on this machine.
#
#   test-arch.sh            i686 or x86_64: the test mode
#   test-arch.sh --native   i686 where this machine runs 32-bit x86 code,
#                           x86_64 where it runs 64-bit code only
#   test-arch.sh --describe one line saying which mode was chosen and why
#
# The test mode is the native one unless VELMORA_TEST_ARCH (i686 or x86_64)
# forces another; 32-bit code cannot be forced where the machine refuses it.
# Some machines refuse every 32-bit x86 program (the kernel's IA-32
# emulation is off): there 32-bit Wine cannot start at all, so the tests
# are built for x86_64 and run in a 64-bit prefix. The shipped installer is
# the i686 build in either mode.
set -euo pipefail

# Runs a 93-byte static 32-bit ELF program that only calls exit(0): it ends
# with 0 where the kernel runs 32-bit code, and its exec fails elsewhere.
native() {
  local probe dir
  for dir in "${TMPDIR:-/tmp}" /dev/shm "$HOME"; do
    probe=$(mktemp "$dir/velmora-ia32.XXXXXX" 2>/dev/null) || continue
    # ELF header (52 bytes), one loadable segment (32 bytes) at 0x08048000,
    # then: mov eax, 1; xor ebx, ebx; int 0x80.
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'`
          `'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'`
          `'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'`
          `'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'`
          `'\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'`
          `'\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    if "$probe" 2>/dev/null; then rc=0; else rc=$?; fi
    rm -f "$probe"
    # 126: the exec failed on a folder mounted noexec; try the next one.
    if [ "$rc" -eq 0 ]; then echo i686; return; fi
    if [ "$rc" -ne 126 ] || ! grep -qs "^[^ ]* $dir .*noexec" /proc/mounts; then echo x86_64; return; fi
  done
  echo x86_64
}

machine=$(native)
mode=${VELMORA_TEST_ARCH:-$machine}
case "$mode" in
  i686 | x86_64) ;;
  *) echo "test-arch: VELMORA_TEST_ARCH must be i686 or x86_64, not '$mode'" >&2; exit 2 ;;
esac
if [ "$mode" = i686 ] && [ "$machine" != i686 ]; then
  echo "test-arch: this machine runs 64-bit code only; VELMORA_TEST_ARCH=i686 cannot be served" >&2
  exit 2
fi

case "${1:-}" in
  --native) echo "$machine" ;;
  --describe)
    if [ "$mode" = i686 ]; then
      echo "test mode: i686 (this machine runs 32-bit code): tests run the 32-bit build in a 32-bit Wine prefix"
    elif [ "$machine" = i686 ]; then
      echo "test mode: x86_64, forced by VELMORA_TEST_ARCH: tests run an x86_64 build in a 64-bit Wine prefix" \
           "(the shipped installer stays the i686 build)"
    else
      echo "test mode: x86_64 (this machine runs 64-bit code only): tests run an x86_64 build in a 64-bit Wine" \
           "prefix (the shipped installer stays the i686 build)"
    fi
    ;;
  "") echo "$mode" ;;
  *) echo "usage: test-arch.sh [--native|--describe]" >&2; exit 2 ;;
esac
