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
# A job of three processes ended midway, by Ctrl-C on mpirun and by the death
# of a process other than 0, then run again: the folder loads whole, what was
# saved holds, and the second job walks on from where the first stopped to
# the end, logging nothing twice.
rank_pid() { # rank: the pid of that process of the running job
  local pid
  for pid in $(pgrep -f "$spread --seed 11"); do
    if tr '\0' '\n' </proc/"$pid"/environ 2>/dev/null | grep -qx "OMPI_COMM_WORLD_RANK=$1"; then
      echo "$pid"
    fi
  done
}
for ending in interrupt rank-death; do
  folder=$work/$ending
  mkdir "$folder"
  write_params "$folder" START=60 END=63 ITERATIONS=30 SAVE=2 NEMB=7 WEIGHT=1 NEMBPASS=1
  (cd "$folder" && exec "${mpi[@]}" -np 3 "$spread" --seed 11 >"$work/$ending.out" 2>&1) &
  job=$!
  for _ in $(seq 400); do
    [ "$(grep -c '^Average=' "$work/$ending.out" 2>/dev/null)" -ge 4 ] && break
    sleep 0.05
  done
  if [ "$ending" = interrupt ]; then
    kill -INT "$job"
  else
    victim=$(rank_pid 1)
    [ -n "$victim" ] || fail "$ending: no process of rank 1"
    kill -KILL "$victim"
  fi
  status=0
  wait "$job" || status=$?
  [ "$status" -ne 0 ] || fail "$ending: the job ended as if done"
  # mpirun may end a moment before the last of its processes.
  for _ in $(seq 60); do
    [ -z "$(pgrep -f "$spread --seed 11")" ] && break
    sleep 0.05
  done
  [ -z "$(pgrep -f "$spread --seed 11")" ] || fail "$ending: processes left running"
  expect_sound_restart "$folder" "$ending"
  grep -qx "START=63" "$folder/PARAMS.INI" && fail "$ending: the walk was already done"
  sed -i 's/^ITERATIONS=30$/ITERATIONS=2/' "$folder/PARAMS.INI"
  (cd "$folder" && "${mpi[@]}" -np 3 "$spread" --seed 12 >"$work/$ending-again.out" 2>&1) ||
    fail "$ending: the second job: status $?: $(tail -c 300 "$work/$ending-again.out")"
  grep -qx "START=63" "$folder/PARAMS.INI" || fail "$ending: the second job did not walk to the end"
  twice=$(grep '^(' "$folder/DATA4.TXT" | sed 's/ ([-0-9]*,[0-9]*)$//' | sort | uniq -d)
  [ -z "$twice" ] || fail "$ending: logged twice: $twice"
  expect_sound_restart "$folder" "$ending, then again"
done

echo "three processes: $(grep -c '^(' "$work/three/DATA4.TXT") lines logged, all true and" \
  "distinct, $stored solutions saved and loaded again; one process: as the plain program;" \
  "interrupted and with a process killed, sound and resumed to the end"
