#!/usr/bin/env bash
# SIGTERM and SIGHUP sent while the store is being cross-reduced stop the run as
# Escape does: PARAMS.INI and DATA4.BIN are written anew, the status is 1, and
# the stop comes within a record's work, not after the whole cross-reduction.
# A storm of SIGINTs, still arriving while the stop is being saved, changes
# nothing of that and damages no file.
set -euo pipefail
source "$(dirname "$0")/files.bash"
begin_script signals "$@"

# A store of some 1500 solutions, so that one cross-reduction run over
# it (four weights, up to three passes each) takes a second or more.
mkdir "$work/store"
write_params "$work/store" END=41 ITERATIONS=160 SAVE=160
(cd "$work/store" && "$program" --threads "$threads" --seed 3 >"$work/store.out" 2>&1) || fail "store run failed"
stored=$(checkpoint_solutions 4 "$work/store/DATA4.BIN" | wc -l)
[ "$stored" -ge 1200 ] || fail "only $stored solutions stored; too few for a long cross-reduction"

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

stop_during_cross_reduction() { # signal storm(0/1)
  local run=$work/run-$1
  rm -rf "$run"
  cp -a "$work/store" "$run"
  write_params "$run" NEMB=1
  (cd "$run" && exec "$program" --threads "$threads" --seed 9 </dev/null >"$work/$1.out" 2>&1) &
  pid=$!
  # The first statistics line is written after the first pass at the first of
  # four weights: the cross-reduction is then under way.
  local deadline=$(($(now_ms) + 60000))
  until [ -s "$run/STATS.TXT" ]; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "$1: no cross-reduction within a minute"
    kill -0 "$pid" 2>/dev/null || fail "$1: run ended early: $(tail -c 300 "$work/$1.out")"
    sleep 0.02
  done
  local params_inode bin_inode passes sent
  passes=$(wc -l <"$run/STATS.TXT")
  params_inode=$(stat -c %i "$run/PARAMS.INI")
  bin_inode=$(stat -c %i "$run/DATA4.BIN")
  sent=$(now_ms)
  kill "-$1" "$pid"
  if [ "$2" = 1 ]; then
    # Keep interrupting until the process is gone, through its saves.
    local count=0
    while kill -INT "$pid" 2>/dev/null && [ $count -lt 200000 ]; do count=$((count + 1)); done
  fi
  local status=0
  wait "$pid" 2>/dev/null || status=$?
  pid=
  local took=$(($(now_ms) - sent))
  [ "$status" = 1 ] || fail "$1: status $status, not 1: $(tail -c 300 "$work/$1.out")"
  # An interrupted pass writes no statistics line; one more can only be a pass
  # that ended as the signal was on its way.
  # A finished cross-reduction writes a line for each of its four weights.
  local lines
  lines=$(wc -l <"$run/STATS.TXT")
  [ "$lines" -le $((passes + 1)) ] && [ "$lines" -lt 4 ] ||
    fail "$1: the cross-reduction went on ($passes statistics lines at the signal, $lines at the end)"
  [ "$took" -lt 5000 ] || fail "$1: the stop took $took ms"
  [ "$(stat -c %i "$run/PARAMS.INI")" != "$params_inode" ] || fail "$1: PARAMS.INI not written at the stop"
  [ "$(stat -c %i "$run/DATA4.BIN")" != "$bin_inode" ] || fail "$1: DATA4.BIN not written at the stop"
  for key in START=40 CURRENTITERATION=1 CURRENTNEMB=0 CURRENTSAVE=0; do
    grep -qx "$key" "$run/PARAMS.INI" || fail "$1: PARAMS.INI lacks $key: $(cat "$run/PARAMS.INI")"
  done
  ! compgen -G "$run/*.tmp" >/dev/null || fail "$1: temporary file left: $(ls "$run")"

  expect_sound_restart "$run" "$1"  # the next start finds what the stop saved, whole
  echo "SIG$1$([ "$2" = 1 ] && echo " and $count more SIGINTs"): stopped in $took ms," \
    "status 1, PARAMS.INI and DATA4.BIN ($(wc -l <"$work/checkpoint.txt") solutions) saved and whole"
}

stop_during_cross_reduction TERM 0
stop_during_cross_reduction HUP 0
stop_during_cross_reduction INT 1
