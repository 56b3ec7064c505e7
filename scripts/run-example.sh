#!/usr/bin/env bash
# Sets up, builds, and runs a search in a working folder made from examples/
# (./work unless QUORVEX_WORK names another): one worker per core, the lattice
# reduction with the best yield of bench/README.md, and the calm view of
# --quiet. When the walk ends by itself it prints the best-size table. Files
# already in the working folder are kept, so running it again resumes the
# search. Options given to it go to quorvex after its own, and a --threads or
# --reducer among them takes the place of the script's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVEX_BUILD:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$build"
work=${QUORVEX_WORK:-$root/work}
mkdir -p "$work"
cp -n "$root"/examples/* "$work"/ 2>/dev/null || true
cd "$work"
threads=(--threads "$(nproc)")
reducer=(--reducer BKZ_FP_PRUNED)
for arg in "$@"; do
  case "$arg" in
    --threads | -j | -j*) threads=() ;;
    --reducer) reducer=() ;;
  esac
done
command=("$build/quorvex" "${threads[@]}" "${reducer[@]}" --quiet "$@")
echo "Searching in $work (press Escape or Ctrl-C to stop; run again to resume):"
echo "  ${command[*]}"
status=0
"${command[@]}" || status=$?
if [ "$status" -eq 0 ]; then
  echo
  "$build/quorvex" best
fi
exit "$status"
