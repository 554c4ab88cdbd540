#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: first the readers of the program's
# files under libFuzzer for 30 seconds, then the normal build, the same tests under
# AddressSanitizer, and the engine and program tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/fuzz.sh
export ASAN_OPTIONS=detect_leaks=1
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
export UBSAN_OPTIONS=print_stacktrace=1
for preset in ${ORSANTA_PRESETS:-default asan tsan}; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
