#!/usr/bin/env bash
# Runs one fuzzer of the native build for longer, at the lowest priority,
# on the corpus `make test` grows: build/native/corpus/<fuzzer>, seeded from
# the unit tests' cases (build/native/seeds/<fuzzer>). A finding is written
# to build/native/findings/ and ends the run.
# Usage: fuzz.sh FUZZER [SECONDS] [BUILD_DIR]   e.g. fuzz.sh fuzz_png 600
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
fuzzer=${1:?usage: fuzz.sh FUZZER [SECONDS] [BUILD_DIR]}
seconds=${2:-600}
build=${3:-$src/build/native}
if [ ! -d "$build/seeds/$fuzzer" ]; then
  VELMORA_FUZZ_RUNS=0 bash "$src/scripts/native-test.sh" "$build"
fi
mkdir -p "$build/corpus/$fuzzer" "$build/findings"
exec nice -n 19 "$build/$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$build/findings/$fuzzer-" "$build/corpus/$fuzzer" "$build/seeds/$fuzzer"
