# Shared by the reliability scripts: reading the program's files from the
# shell, so a script can compare what is on disk with what the program lists.
# Sourced, not run (its name does not end in .sh, so it is no test of its own).

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Every script's start: the program (first argument), the number of search
# workers (second, 1 by default) and a scratch folder $work. At exit a run
# still going in the background ($pid) is killed, `on_exit` runs when the
# script defines it, and $work is removed.
begin_script() { # name program [threads]
  program=$(realpath "$2")
  threads=${3:-1}
  work=$(mktemp -d "/tmp/quorvex-$1-XXXXXX")
  pid=
  trap 'if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null || true; fi
        if declare -F on_exit >/dev/null; then on_exit; fi
        rm -rf "$work"' EXIT
}

# The solutions of a checkpoint file as "(k,m,n) left=right" lines, Terms in
# file order, which is the order the listing prints them in. A file that does
# not hold exactly its R entries of 1 to 200 Terms is reported and fails.
checkpoint_solutions() { # power file
  od -An -v -t d4 --endian=little "$2" | awk -v k="$1" '
    { for (i = 1; i <= NF; i++) v[n++] = $i }
    END {
      if (n == 0) { print "empty checkpoint" > "/dev/stderr"; exit 1 }
      p = 1
      for (e = 0; e < v[0]; e++) {
        t = v[p++]
        if (t < 1 || t > 200 || p + 2 * t > n) { print "damaged entry " e > "/dev/stderr"; exit 1 }
        left = ""; right = ""; m = 0; r = 0
        for (j = 0; j < t; j++) {
          b = v[p++]; c = v[p++]
          if (c > 0) {
            left = left (left == "" ? "" : "+") b (c > 1 ? "*" c : ""); m += c
          } else {
            c = -c; right = right (right == "" ? "" : "+") b (c > 1 ? "*" c : ""); r += c
          }
        }
        printf "(%d,%d,%d) %s=%s\n", k, m, r, left, right
      }
      if (p != n) { print "bytes after the last entry" > "/dev/stderr"; exit 1 }
    }'
}

# The solutions of an "extract" listing (its output file), without the notes.
listed_solutions() { # power output-file
  tr '\r' '\n' <"$2" | grep "^($1," | sed 's/(Note: [^)]*)$//' || true
}

# The result-log lines a run echoed on the console. The echo follows the synced
# append, so each of them must be in the log. A last line cut off by a kill
# (no line end) is left out.
echoed_log_lines() { # power output-file
  local text
  text=$(tr '\r' '\n' <"$2")
  if ends_torn "$2"; then
    text=$(printf '%s\n' "$text" | sed '$d')
  fi
  # The size list of an iteration is printed on the same line before it.
  printf '%s\n' "$text" | grep -oE "\($1,[0-9]+,[0-9]+\) [0-9*+]+=[0-9*+]* \(-?[0-9]+,[0-9]+\)$" || true
}

# Whether the log $2 still holds every line of the earlier copy $1 unchanged,
# as its beginning. A torn last line of the copy may since have been closed
# or turned into a comment by an append.
log_kept() { # earlier-copy log
  if ! ends_torn "$1"; then
    cmp -s -n "$(stat -c %s "$1")" "$1" "$2"
    return
  fi
  local whole tail
  whole=$(($(stat -c %s "$1") - $(tail -n 1 "$1" | wc -c)))
  tail=$(tail -n 1 "$1")
  cmp -s -n "$whole" "$1" "$2" || return 1
  case $(tail -c "+$((whole + 1))" "$2" | head -n 1) in
    "$tail"* | ";$tail"*) return 0 ;;
    *) return 1 ;;
  esac
}

# Lines of $1 missing from $2 (both files of lines; order and repeats ignored).
missing_lines() {
  comm -23 <(sort -u "$1") <(sort -u "$2")
}

# PARAMS.INI for a small seeded search of fourth powers; extra KEY=value lines
# follow the defaults.
write_params() { # folder [KEY=value...]
  local folder=$1
  shift
  {
    printf 'POWER=4\nSTART=40\nEND=80\nBLOCKSIZE=10\nWORKTERMS=0\nITERATIONS=1000\n'
    printf 'SAVE=1\nNEMB=0\nPRIORITY=9\n'
    for line in "$@"; do printf '%s\n' "$line"; done
  } >"$folder/PARAMS.INI"
}

# Whether a file ends without a line end (a log line torn by a kill).
ends_torn() {
  [ -s "$1" ] && [ "$(tail -c 1 "$1" | od -An -t x1 | tr -d ' ')" != "0a" ]
}

# A run's output must not show a refused or damaged file; a skipped torn last
# line of the log only when the third argument allows it.
expect_clean_load() { # output-file what [torn-allowed]
  local refused='Bad parameter|Missing parameter|Cannot load parameters|Corrupted|Error:'
  [ "${3:-0}" = 1 ] || refused="$refused|Skipping the torn"
  if grep -qE "$refused" "$1"; then
    fail "$2 reported a damaged file: $(tr '\r' '\n' <"$1" | grep -E 'parameter|Corrupted|Error:|torn' | head -3)"
  fi
}

# A start in the folder after a kill or a stop: it loads every file cleanly (a
# torn last log line skipped only when the third argument allows it), keeps
# every solution of DATA4.BIN, and everything stored and logged verifies.
expect_sound_restart() { # folder what [torn-allowed]
  (cd "$1" && "$program" extract >"$work/extract.out" 2>&1) || fail "$2: extract ended with status $?"
  expect_clean_load "$work/extract.out" "$2: extract" "${3:-0}"
  if [ -f "$1/DATA4.BIN" ]; then
    grep -q 'DATA4.BIN loaded' "$work/extract.out" || fail "$2: DATA4.BIN not loaded"
    checkpoint_solutions 4 "$1/DATA4.BIN" >"$work/checkpoint.txt" || fail "$2: DATA4.BIN does not decode"
    listed_solutions 4 "$work/extract.out" >"$work/listed.txt"
    lost=$(missing_lines "$work/checkpoint.txt" "$work/listed.txt")
    [ -z "$lost" ] || fail "$2: checkpointed solutions missing after the restart: $lost"
  fi
  (cd "$1" && "$program" verify >"$work/verify.out" 2>&1) ||
    fail "$2: verify failed: $(grep -E 'False|Checked' "$work/verify.out")"
}
