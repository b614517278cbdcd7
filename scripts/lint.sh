#!/usr/bin/env bash
# Checks that the tree is in its .clang-format style and clean of the
# .clang-tidy checks.
#   scripts/lint.sh          check both
#   scripts/lint.sh --fix    format the tree in place, then run the checks
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.inc')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
else
  clang-format --dry-run --Werror "${files[@]}"
fi
cmake -S . -B build-lint -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DVOLUMAR_BENCH=ON >/dev/null
run-clang-tidy -p build-lint -j "$(nproc)" -quiet \
  "$(pwd)/(format|platform|rawio|volume|drw|assoc|cipher|frame|server|imaging|tools|tests|bench|examples|python)/"
