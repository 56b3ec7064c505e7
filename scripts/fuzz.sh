#!/usr/bin/env bash
# Fuzzes the file readers: builds the libFuzzer targets of tests/fuzz with
# clang++ and the address and undefined-behaviour sanitizers (in build-fuzz),
# then runs each from its seed corpus tests/fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh                  a million executions of every target
#   scripts/fuzz.sh --runs N [T...]  N executions of the targets T (names as in tests/fuzz)
#   scripts/fuzz.sh --seconds S      S seconds per target (the test command's smoke run)
#
# New inputs are kept in fuzz-out/<target>/corpus, findings (crash-*, leak-*,
# timeout-*, oom-*) in fuzz-out/<target>/, the full log in fuzz-out/<target>/log.
# A finding ends the script with status 1; keep it as a case of the ordinary
# tests once it is fixed. Replay one with: build-fuzz/tests/<target> <file>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
limit=(-runs=1000000)
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) limit=("-runs=$2"); shift 2 ;;
    --seconds) limit=("-max_total_time=$2"); shift 2 ;;
    *) targets+=("${1%_fuzzer}_fuzzer"); shift ;;
  esac
done
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$root"/tests/fuzz/*_fuzzer.cpp; do
    name=${source##*/}
    targets+=("${name%.cpp}")
  done
fi
build=${QUORVEX_FUZZ_BUILD:-$root/build-fuzz}
out=${QUORVEX_FUZZ_OUT:-$root/fuzz-out}

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEX_SANITIZE=ON -DQUORVEX_FUZZ=ON -DQUORVEX_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >/dev/null

failed=0
for target in "${targets[@]}"; do
  mkdir -p "$out/$target/corpus"
  # Paths must be absolute: each target works in a private folder of its own.
  status=0
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
    "$build/tests/$target" "${limit[@]}" -max_len=10000 -timeout=20 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$out/$target/" \
    "$out/$target/corpus" "$root/tests/fuzz/corpus/$target" >"$out/$target/log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$target/log")
  if [ "$status" != 0 ]; then
    failed=1
    echo "$target: FINDING after ${runs:-?} executions (status $status):"
    grep -aE 'ERROR|property broken|runtime error|SUMMARY|Test unit written' "$out/$target/log" | head -8
  else
    echo "$target: ${runs:-?} executions, no finding" \
      "($(grep -aE '^#[0-9]+[[:space:]]+DONE' "$out/$target/log" | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' || true))"
  fi
done
exit $failed
