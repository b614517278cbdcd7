#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ and runs
# each for SECONDS (default 60) on a temporary copy of its seed corpus, so
# the corpus in the tree stays as it is. Prints per target the executions,
# coverage (cov, ft), time and findings; exits 1 when any target crashed,
# leaked, timed out, ran out of memory or hit a sanitizer report. Findings
# are kept in build-fuzz/findings/TARGET/.
#   scripts/fuzz.sh [SECONDS [TARGET...]]   (every target when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
targets=(fuzz_drive_selection fuzz_hex_rows fuzz_reg_import fuzz_cli_parsing)
if [ $# -gt 1 ]; then targets=("${@:2}"); fi

scripts/install-deps.sh
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DVOLUMAR_FUZZ=ON -DVOLUMAR_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

printf '%-22s %12s %8s %8s %8s  %s\n' TARGET EXECUTIONS COV FT SECONDS RESULT
# One target: its result line in $work/TARGET/result, and a "failed" mark.
fuzz_one() {
  local t=$1 start status=0 elapsed execs cov ft found result
  mkdir -p "$work/$t/artifacts"
  cp -r "fuzz/corpus/$t" "$work/$t/corpus"
  start=$(date +%s)
  # One input's allocations are held to 4 times an image by the targets
  # themselves; these limits catch what escapes that.
  "build-fuzz/fuzz/$t" "$work/$t/corpus" -dict="fuzz/dict/$t.dict" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1 -artifact_prefix="$work/$t/artifacts/" \
    >"$work/$t/log" 2>&1 || status=$?
  elapsed=$(($(date +%s) - start))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$t/log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$work/$t/log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$work/$t/log" | tail -1 | cut -d' ' -f2)
  found=$(ls "$work/$t/artifacts")
  if [ "$status" -ne 0 ] || [ -n "$found" ] || grep -q 'ERROR: \(AddressSanitizer\|LeakSanitizer\|libFuzzer\)\|runtime error:' "$work/$t/log"; then
    touch "$work/$t/failed"
    result="FOUND: ${found:-exit status $status}"
    mkdir -p "build-fuzz/findings/$t"
    cp "$work/$t/log" "build-fuzz/findings/$t/log"
    [ -n "$found" ] && cp "$work/$t/artifacts/"* "build-fuzz/findings/$t/"
  else
    result=nothing
  fi
  printf '%-22s %12s %8s %8s %8s  %s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$elapsed" "$result" >"$work/$t/result"
}

# As many targets at once as there are cores; the table in the targets' order.
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n
    running=$((running - 1))
  fi
  fuzz_one "$t" &
  running=$((running + 1))
done
wait
failed=0
for t in "${targets[@]}"; do
  cat "$work/$t/result"
  [ -e "$work/$t/failed" ] && failed=1
done
if [ "$failed" -ne 0 ]; then
  echo "findings and logs: build-fuzz/findings/ (replay one: build-fuzz/fuzz/TARGET FILE)"
fi
exit "$failed"
