#!/usr/bin/env bash
# quorvex-mpi over three processes: a seeded walk whose logged lines all hold,
# none logged twice, and whose checkpoint loads again; and over one process,
# exactly the plain program's output and files.
set -euo pipefail
source "$(dirname "$0")/../reliability/files.bash"
begin_script mpi "$@"
spread=$(dirname "$program")/quorvex-mpi
if [ ! -x "$spread" ] || ! command -v mpirun >/dev/null; then
  echo "SKIP: quorvex-mpi or mpirun is not there"
  exit 0
fi
# What Open MPI needs to run as root, as CI does.
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMPI_MCA_rmaps_base_oversubscribe=1
mpi=(mpirun --allow-run-as-root --oversubscribe)
# Open MPI's own libraries leave memory at their end, which the leak checker
# of a sanitizer build would report as ours.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

# Help tells how to start a job, then gives the plain program's help.
help=$("$spread" --help)  # a failing start ends the script here
[[ $help == "Usage: mpirun -np P quorvex-mpi"* && $help == *"$("$program" --help)" ]] ||
  fail "quorvex-mpi --help"

# Three processes: a walk over four MaxBase values with a cross-reduction,
# every process reducing with FPLLL_BKZ2.
mkdir "$work/three"
write_params "$work/three" START=60 END=64 ITERATIONS=4 SAVE=3 NEMB=6 WEIGHT=2 NEMBPASS=1
(cd "$work/three" && "${mpi[@]}" -np 3 "$spread" --seed 5 --reducer FPLLL_BKZ2 >"$work/three.out" 2>&1) ||
  fail "three processes: status $?: $(tail -c 500 "$work/three.out")"
grep -qx "START=64" "$work/three/PARAMS.INI" || fail "three processes: the walk did not end"
grep -qx "REDUCER=FPLLL_BKZ2" "$work/three/REDUCER.TXT" || fail "three processes: no REDUCER.TXT"
[ -s "$work/three/DATA4.TXT" ] || fail "three processes: nothing logged"
duplicates=$(grep '^(' "$work/three/DATA4.TXT" | sed 's/ ([-0-9]*,[0-9]*)$//' | sort | uniq -d)
[ -z "$duplicates" ] || fail "three processes: logged twice: $duplicates"
# Every logged and stored solution holds, and the checkpoint loads whole again.
expect_sound_restart "$work/three" "three processes"
stored=$(wc -l <"$work/checkpoint.txt")
[ "$stored" -gt 0 ] || fail "three processes: nothing saved"

# One process is the plain program.
for run in plain one; do
  mkdir "$work/$run"
  write_params "$work/$run" START=60 END=62 ITERATIONS=3 NEMB=4
done
(cd "$work/plain" && "$program" --seed 9 >"$work/plain.out" 2>&1) || fail "plain run failed"
(cd "$work/one" && "${mpi[@]}" -np 1 "$spread" --seed 9 >"$work/one.out" 2>&1) ||
  fail "one process: status $?"
cmp -s "$work/plain.out" "$work/one.out" || fail "one process: output differs from the plain run"
for file in PARAMS.INI DATA4.TXT DATA4.BIN STATS.TXT; do
  cmp -s "$work/plain/$file" "$work/one/$file" || fail "one process: $file differs"
done
echo "three processes: $(grep -c '^(' "$work/three/DATA4.TXT") lines logged, all true and" \
  "distinct, $stored solutions saved and loaded again; one process: as the plain program"
