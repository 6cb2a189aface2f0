#!/usr/bin/env bash
# Where `make test`'s time goes: builds first, then runs it (or the CTest
# entries TESTS matches) once and prints its wall time, CTest's own total
# (the figure the suite's time goal is stated in), how busy the machine's
# cores were, and the CPU seconds of each program, from the kernel's
# process accounting (every process counts, also the Wine servers and
# services that leave their caller). When the cores were busy nearly all the time, more tests at once
# cannot help: only less work can. Needs root and Debian's acct (not in
# install-deps: on a machine with systemd its service keeps accounting on).
# Usage: bench/test_time.sh [TOP]   (TOP programs listed, default 25)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=${1:-25}
command -v accton >/dev/null || { echo "test_time: needs accton and dump-acct: apt-get install acct" >&2; exit 1; }
make -C "$here/.." build >/dev/null 2>&1 || { echo "test_time: make build failed" >&2; exit 1; }
acct=$(mktemp)
out=$(mktemp)
trap 'accton off >/dev/null 2>&1; rm -f "$acct" "$acct.top" "$out"' EXIT
ticks() { awk '/^cpu /{print $2+$3+$4+$7+$8, $5+$6}' /proc/stat; }
accton "$acct" >/dev/null || exit 1
read -r busy0 idle0 < <(ticks)
t0=$(date +%s%N)
make -C "$here/.." test >"$out" 2>&1
rc=$?
wall=$(( ($(date +%s%N) - t0) / 1000000 ))
read -r busy1 idle1 < <(ticks)
accton off >/dev/null
hz=$(getconf CLK_TCK)
awk -v wall="$wall" -v busy=$((busy1 - busy0)) -v idle=$((idle1 - idle0)) -v hz="$hz" -v cores="$(nproc)" -v rc=$rc 'BEGIN {
  printf "make test: exit %d, %.1f s wall on %d cores\n", rc, wall / 1000, cores
  printf "cores busy: %.1f of %.1f CPU s (%.0f%%)\n", busy / hz, (busy + idle) / hz, 100 * busy / (busy + idle) }'
grep -E "^Total Test time|tests passed|^test mode" "$out"
# dump-acct: command | version | user | system | elapsed | ... (times in ticks)
dump-acct "$acct" | awk -F'|' -v hz="$hz" '
  { name = $1; sub(/ +$/, "", name); cpu[name] += $3 + $4; n[name]++; all += $3 + $4 }
  END {
    printf "accounted: %.1f CPU s in %d processes\n", all / hz, NR > "/dev/stderr"
    for (k in cpu) printf "%-18s %9d %10.1f\n", k, n[k], cpu[k] / hz
  }' 2>&1 >"$acct.top"
printf "%-18s %9s %10s\n" program processes "CPU s"
sort -k3 -rn "$acct.top" | head -n "$top"
