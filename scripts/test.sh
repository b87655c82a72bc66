#!/usr/bin/env bash
# Builds and runs every test: first with AddressSanitizer and
# UndefinedBehaviorSanitizer, then (unless --asan-only) a separate build with
# ThreadSanitizer. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
run_suite() {
  local name=$1 sanitize=$2
  cmake -S . -B "build/$name" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE="$sanitize" >/dev/null
  cmake --build "build/$name" -j"$jobs"
  # Many tests sit in 2 s time-outs: run them side by side.
  ctest --test-dir "build/$name" -j8 --output-on-failure --timeout 300
}
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
run_suite asan "address,undefined"
if [ "${1:-}" != "--asan-only" ]; then
  run_suite tsan "thread"
fi
