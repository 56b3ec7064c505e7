#!/usr/bin/env bash
# The program under valgrind's memcheck: a short seeded search with a
# cross-reduction, a second one that loads what the first wrote, a stop by
# signal, and the extract and verify listings. Any invalid read or write, use
# of an undefined value, or block lost (definitely, indirectly or possibly)
# fails; memory still reachable at exit (NTL's and GMP's own) does not.
set -euo pipefail
source "$(dirname "$0")/files.bash"
begin_script memcheck "$@"

if ! command -v valgrind >/dev/null; then
  echo "SKIP: valgrind is not installed"
  exit 0
fi
if grep -qa __asan_init "$program"; then
  echo "SKIP: $program is built with the address sanitizer, which valgrind cannot run"
  exit 0
fi

memcheck() { # name expected-status args...
  local name=$1 expected=$2
  shift 2
  local status=0
  (cd "$work/run" && exec valgrind --quiet --error-exitcode=99 --leak-check=full \
    --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
    --log-file="$work/$name.valgrind" "$program" "$@" </dev/null >"$work/$name.out" 2>&1) &
  pid=$!
  if [ "$name" = stop ]; then
    # Stopped once its first iteration has logged or printed its sizes.
    until grep -q 'Average=' "$work/$name.out" 2>/dev/null; do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -TERM "$pid" 2>/dev/null || true
  fi
  wait "$pid" || status=$?
  pid=
  if [ -s "$work/$name.valgrind" ]; then
    cat "$work/$name.valgrind" >&2
    fail "$name: memcheck found errors (status $status)"
  fi
  [ "$status" = "$expected" ] || fail "$name: status $status, not $expected: $(tail -c 300 "$work/$name.out")"
  echo "$name: no memcheck error, status $status"
}

mkdir "$work/run"
write_params "$work/run" END=42 ITERATIONS=3 NEMB=2
memcheck search 0 --seed 2
[ -s "$work/run/DATA4.BIN" ] && [ -s "$work/run/STATS.TXT" ] || fail "the search wrote no checkpoint or statistics"
write_params "$work/run" START=42 END=44 ITERATIONS=2 NEMB=2
memcheck resumed 0 --seed 3
grep -q 'DATA4.BIN loaded' "$work/resumed.out" || fail "the second search did not load the checkpoint"
write_params "$work/run" START=44 ITERATIONS=1000
memcheck stop 1 --seed 4
memcheck extract 0 extract
memcheck verify 0 verify
