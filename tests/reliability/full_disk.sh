#!/usr/bin/env bash
# A full file system under each of the three writers: a save of PARAMS.INI, a
# save of DATA4.BIN and a result-log line must each end the run with "Cannot
# write <file>" and status 1, and leave every file from before byte for byte
# as it was, with no temporary file behind. Needs root for a small tmpfs.
set -euo pipefail
source "$(dirname "$0")/files.bash"
begin_script full "$@"
disk=$work/disk
mkdir "$disk"
mounted=0
on_exit() {
  if [ "$mounted" = 1 ]; then umount "$disk" || umount -l "$disk" || true; fi
}
if [ "$(id -u)" != 0 ] || ! mount -t tmpfs -o size=256k,mode=0755 tmpfs "$disk" 2>/dev/null; then
  echo "SKIP: cannot mount a small tmpfs here (needs root and mount permission)"
  exit 0
fi
mounted=1
page=$(getconf PAGESIZE)

# A store of a few hundred solutions from a short seeded run on a normal disk.
mkdir "$work/seed"
write_params "$work/seed" END=41 ITERATIONS=3
(cd "$work/seed" && "$program" --threads "$threads" --seed 5 >"$work/seed.out" 2>&1) || fail "seed run failed"
[ "$(stat -c %s "$work/seed/DATA4.BIN")" -gt "$page" ] || fail "seed checkpoint smaller than a page"

# Fills the disk to the last page, then frees `free` pages again.
fill() { # free-pages
  dd if=/dev/zero of="$disk/filler" bs="$page" status=none 2>/dev/null || true
  [ "$1" = 0 ] || truncate -s "-$(($1 * page))" "$disk/filler"
}

# Runs the search in the full folder; it must stop with the message and
# status 1 and leave the files as they were.
expect_refused() { # case message
  rm -rf "$work/before"
  cp -a "$disk/run" "$work/before"
  status=0
  (cd "$disk/run" && "$program" --threads "$threads" --seed 11 >"$work/$1.out" 2>&1) || status=$?
  [ "$status" = 1 ] || fail "$1: status $status, not 1: $(tail -c 400 "$work/$1.out")"
  grep -qF "$2" "$work/$1.out" || fail "$1: no \"$2\": $(tail -c 400 "$work/$1.out")"
  for file in "$work/before"/*; do
    cmp -s "$file" "$disk/run/${file##*/}" || fail "$1: ${file##*/} changed"
  done
  extra=$(cd "$disk/run" && ls | grep -vxF -f <(ls "$work/before") | grep -vx Bug.txt || true)
  [ -z "$extra" ] || fail "$1: left behind: $extra"
  echo "$1: \"$2\", status 1, every file as before"
}

reset_run() {
  rm -rf "$disk/run" "$disk/filler"
  mkdir "$disk/run"
}

# PARAMS.INI: a step without iterations rewrites it first of all.
reset_run
cp "$work/seed/DATA4.TXT" "$work/seed/DATA4.BIN" "$disk/run/"
write_params "$disk/run" ITERATIONS=0
fill 0
expect_refused params "Cannot write PARAMS.INI"

# DATA4.BIN: START equal to END only writes the checkpoint. One free page lets
# the new file be cut off inside an entry rather than refused at once.
reset_run
cp "$work/seed/DATA4.TXT" "$work/seed/DATA4.BIN" "$disk/run/"
write_params "$disk/run" END=40
fill 1
expect_refused checkpoint "Cannot write DATA4.BIN"

# DATA4.TXT: with no solution of the power stored, the first iteration logs a
# line. The log ends ten bytes before a page boundary, so the line is cut off
# by the full disk after ten bytes rather than refused at once.
reset_run
{
  {
    echo "(5,1,4) 144=133+110+84+27 (0,0)"
    yes "; a comment that pads the log to its size" || true
  } | head -c $((2 * page - 11))
  echo
} >"$disk/run/DATA4.TXT"
write_params "$disk/run" END=41 ITERATIONS=1
fill 0
expect_refused log "Cannot write DATA4.TXT"
echoed=$(echoed_log_lines 4 "$work/log.out")
[ -n "$echoed" ] || fail "log: the refused line was not shown on the console"
