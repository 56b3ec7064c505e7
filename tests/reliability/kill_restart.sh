#!/usr/bin/env bash
# A seeded search that saves after every iteration and cross-reduces every
# third is killed with SIGKILL at random moments and restarted, again and
# again. After every kill: PARAMS.INI and DATA4.BIN load cleanly, every log
# line from before is still there unchanged, every line the killed run echoed
# is in the log, the store after the restart holds every solution of the last
# checkpoint, progress never goes back, and everything verifies. (How a torn
# last line is skipped and repaired, byte for byte, the result log's unit test
# shows; here the restarts must only load every torn line the kills leave.)
set -euo pipefail
source "$(dirname "$0")/files.bash"
begin_script kill "$@"

kills=${QUORVEX_KILLS:-40}

# START and CURRENTITERATION as one number that a resumed run never lowers.
progress() {
  awk -F= '$1 == "START" { s = $2 } $1 == "CURRENTITERATION" { c = $2 }
           END { print s * 100000 + c }' "$work/run/PARAMS.INI"
}

mkdir "$work/run"
write_params "$work/run" ITERATIONS=12 NEMB=3 NEMBPASS=1 WEIGHT=2
touch "$work/run/DATA4.TXT"
last_progress=0
torn_now=0
started=$SECONDS
for round in $(seq 1 "$kills"); do
  cp "$work/run/DATA4.TXT" "$work/log-before.txt"
  torn_before=$torn_now
  (cd "$work/run" && exec "$program" --threads "$threads" --seed "$((RANDOM * 7 + round))" </dev/null \
    >"$work/run.out" 2>&1) &
  pid=$!
  if ((round % 3 == 0)) && ! compgen -G "$work/run/*.tmp" >/dev/null; then
    # Every third kill aims at a save: as soon as the atomic writer's
    # temporary file appears, or after 0.6 s.
    deadline=$((${EPOCHREALTIME/./} + 600000))
    while ((${EPOCHREALTIME/./} < deadline)) && ! compgen -G "$work/run/*.tmp" >/dev/null; do :; done
  else
    sleep "$(printf '0.%03d' $((50 + RANDOM % 451)))"
  fi
  kill -KILL "$pid" 2>/dev/null || fail "round $round: the run ended before the kill: $(tail -c 300 "$work/run.out")"
  status=0
  wait "$pid" 2>/dev/null || status=$?
  pid=
  [ "$status" -eq 137 ] || fail "round $round: run ended with status $status, not by the kill"
  expect_clean_load "$work/run.out" "round $round: the restarted run" "$torn_before"
  [ ! -e "$work/run/Bug.txt" ] || fail "round $round: Bug.txt: $(cat "$work/run/Bug.txt")"

  log_kept "$work/log-before.txt" "$work/run/DATA4.TXT" ||
    fail "round $round: DATA4.TXT lines from before the kill changed"
  echoed_log_lines 4 "$work/run.out" >"$work/echoed.txt"
  lost=$(missing_lines "$work/echoed.txt" "$work/run/DATA4.TXT")
  [ -z "$lost" ] || fail "round $round: echoed but not in DATA4.TXT: $lost"

  now=$(progress)
  [ "$now" -ge "$last_progress" ] || fail "round $round: progress went back from $last_progress to $now"
  last_progress=$now
  torn_now=0
  ! ends_torn "$work/run/DATA4.TXT" || torn_now=1
  expect_sound_restart "$work/run" "round $round" "$torn_now"
done
echo "$kills kills survived in $((SECONDS - started)) s: $(wc -l <"$work/run/DATA4.TXT") log lines," \
  "$(wc -l <"$work/listed.txt") stored, progress $(progress)"
