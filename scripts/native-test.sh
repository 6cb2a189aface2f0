#!/usr/bin/env bash
# The pure units on this machine's own processor (tests/native): runs their
# unit tests under AddressSanitizer and UndefinedBehaviorSanitizer (which
# also turns the tests' inputs into the fuzzers' seeds), then each fuzzer for
# a short fixed number of runs. `make build` builds them (the native_units
# step of the Windows build); nothing is compiled here.
# Usage: native-test.sh BUILD_DIR (the Windows build's native/ folder)
set -euo pipefail
build=$1
# A fixed number of generated inputs per fuzzer: a few seconds each beside
# the rest of the tests.
# scripts/fuzz.sh runs one for longer.
RUNS=${VELMORA_FUZZ_RUNS:-3000}

if [ ! -x "$build/native_unit_tests" ]; then
  echo "native-test: $build/native_unit_tests is not built: run make build" >&2
  exit 1
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
rm -rf "$build/seeds"
VELMORA_SEED_DIR="$build/seeds" "$build/native_unit_tests" --gtest_brief=1

mkdir -p "$build/logs"
for fuzzer in "$build"/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  [ -d "$build/seeds/$name" ] || { echo "native-test: no seeds for $name"; exit 1; }
  mkdir -p "$build/corpus/$name" "$build/findings"
  # The corpus grows in the build folder from run to run; a finding is
  # kept in findings/ and fails the test.
  # The seeds are run first, then RUNS inputs of the fuzzer's own.
  runs=$(( $(ls "$build/seeds/$name" | wc -l) + RUNS ))
  if ! "$fuzzer" -runs="$runs" -seed=1 -max_total_time=20 -artifact_prefix="$build/findings/$name-" \
       "$build/corpus/$name" "$build/seeds/$name" >"$build/logs/$name.log" 2>&1; then
    tail -40 "$build/logs/$name.log"
    echo "native-test: $name found a fault; the input is in $build/findings/"
    exit 1
  fi
  echo "$name: $(grep -E '^#[0-9]+.*(DONE|INITED)' "$build/logs/$name.log" | tail -1)"
done
