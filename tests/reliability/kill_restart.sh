#!/usr/bin/env bash
# A seeded search that saves after every iteration and cross-reduces every
# third is killed with SIGKILL at random moments and restarted, again and
# again. After every kill: PARAMS.INI and DATA4.BIN load cleanly, every log
# line from before is still there unchanged, every line the killed run echoed
# is in the log, the store after the restart holds every solution of the last
# checkpoint, progress never goes back, and everything verifies. Then a log
# whose last line was torn mid-write is skipped with a message and repaired by
# the next append.
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

# A torn last line. A fresh folder makes the run repeatable: with the torn line
# skipped the store is empty again, so the same seed logs the same lines anew
# (with one worker: several finish their iterations in no fixed order).
torn=$work/torn
mkdir "$torn"
write_params "$torn" END=41 ITERATIONS=2
(cd "$torn" && "$program" --seed 11 >"$work/first.out" 2>&1) || fail "torn: first run failed"
first_line=$(head -n 1 "$torn/DATA4.TXT")
[ -n "$first_line" ] || fail "torn: the first run logged nothing"
left_side=${first_line%%=*}
# Cut just after the "=" and one digit: no longer a true identity.
torn_text=${first_line:0:$((${#left_side} + 2))}
printf '%s' "$torn_text" >"$torn/DATA4.TXT"
rm "$torn/DATA4.BIN" "$torn/PARAMS.INI"
write_params "$torn" END=41 ITERATIONS=2

(cd "$torn" && "$program" extract >"$work/torn-extract.out" 2>&1) ||
  fail "torn: a torn last line stopped the start"
grep -qF "Skipping the torn last line of DATA4.TXT: $torn_text" "$work/torn-extract.out" ||
  fail "torn: no message for the torn line: $(cat "$work/torn-extract.out")"
[ -z "$(listed_solutions 4 "$work/torn-extract.out")" ] || fail "torn: the torn line was stored"

(cd "$torn" && "$program" --seed 11 >"$work/torn-run.out" 2>&1) || fail "torn: the run failed"
{
  printf ';%s\n' "$torn_text"
  echoed_log_lines 4 "$work/first.out"
} >"$work/torn-expected.txt"
cmp -s "$work/torn-expected.txt" "$torn/DATA4.TXT" ||
  fail "torn: repaired log differs: $(diff "$work/torn-expected.txt" "$torn/DATA4.TXT")"
grep -qF "Torn last line of DATA4.TXT kept as a comment: $torn_text" "$work/torn-run.out" ||
  fail "torn: no message for the repair"
(cd "$torn" && "$program" verify >"$work/torn-verify.out" 2>&1) || fail "torn: verify failed"
expect_clean_load "$work/torn-verify.out" "torn: start after the repair"
echo "torn last line skipped, kept as a comment and followed by $(echoed_log_lines 4 "$work/first.out" | wc -l) new lines"
