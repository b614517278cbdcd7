#!/usr/bin/env bash
# Builds the library, the tools and the tests, and runs the whole suite.
#   scripts/test.sh             plain build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=build
flags=(-DVOLUMAR_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  flags+=(-DVOLUMAR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
