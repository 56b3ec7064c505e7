#!/usr/bin/env bash
# Fuzzes the whole program for long: builds the release build (in build) and
# runs its program_fuzz driver (tests/reliability/program_fuzz.cpp), which
# damages working folders made by the program itself, searches in them, stops
# the search at random moments and starts it again.
#
#   scripts/fuzz-program.sh [CASES [SEED [BOUND]]]   5000 cases, seed of the clock, 3 s
#   scripts/fuzz-program.sh --case C [BOUND]          one case again, with the outputs
#
# Every case prints its case seed; the script ends with status 1 when a case failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEX_BUILD:-$root/build}
bash "$root/scripts/build.sh" "$build" >/dev/null
if [ "${1:-}" = --case ]; then
  exec "$build/tests/program_fuzz" "$build/quorvex" "$@"
fi
exec "$build/tests/program_fuzz" "$build/quorvex" "${1:-5000}" "${2:-$(date +%s)}" "${3:-3}"
