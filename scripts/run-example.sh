#!/usr/bin/env bash
# Sets up, builds, and runs a search, one worker per core, in a working folder
# made from examples/
# (./work unless QUORVEX_WORK names another). Files already in the working
# folder are kept, so running it again resumes the search.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEX_BUILD:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$build"
work=${QUORVEX_WORK:-$root/work}
mkdir -p "$work"
cp -n "$root"/examples/* "$work"/ 2>/dev/null || true
cd "$work"
# One worker per core, unless the command line chooses.
threads=(--threads "$(nproc)")
for arg in "$@"; do
  case "$arg" in --threads | --threads=* | -j | -j*) threads=() ;; esac
done
echo "Searching in $work with ${threads[1]:-the chosen} workers (press Escape or Ctrl-C to stop; run again to resume)"
exec "$build/quorvex" "${threads[@]}" "$@"
