#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build/fuzz and runs each for SECONDS
# (default 60). Inputs found are kept in build/fuzz/corpus/<target>; with
# --merge the ones that add coverage are merged into the committed corpus
# (fuzz/corpus/<target>). A crash stops the run with the fuzzer's report and
# leaves the reproducer in build/fuzz/artifacts/.
#   bash scripts/fuzz.sh [SECONDS] [--merge]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
merge=${2:-}
targets="hex_codec reply comm_definition ihex cell_args"

CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVANE_FUZZ=ON -DCORVANE_GUI=OFF -DCORVANE_SANITIZE=address,undefined \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build build/fuzz -j2 $(for t in $targets; do echo --target "fuzz_$t"; done)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build/fuzz/artifacts
for t in $targets; do
  work=build/fuzz/corpus/$t
  mkdir -p "$work"
  echo "== fuzz_$t for ${seconds}s"
  log=build/fuzz/$t.log
  status=0
  build/fuzz/fuzz/fuzz_$t -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/fuzz/artifacts/"$t"- "$work" fuzz/corpus/"$t" >"$log" 2>&1 || status=$?
  grep -E '^(stat::(number_of_executed_units|average_exec_per_sec|new_units_added)|#[0-9]+ +DONE)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -60 "$log" >&2
    echo "fuzz_$t failed ($status); reproducer in build/fuzz/artifacts/, log in $log" >&2
    exit "$status"
  fi
  if [ "$merge" = "--merge" ]; then
    build/fuzz/fuzz/fuzz_$t -merge=1 fuzz/corpus/"$t" "$work" 2>&1 | tail -1
  fi
done
