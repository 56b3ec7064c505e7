#!/usr/bin/env bash
# The manual page renders without warnings and names every option, command,
# file and PARAMS.INI key that `quorvex --help` and `quorvex-mpi --help` print:
# what the usage text gains, the page must tell of before this passes.
set -euo pipefail
source "$(dirname "$0")/../reliability/files.bash"
begin_script man "$@"
page=$(realpath "$(dirname "$0")/../../docs/quorvex.1")
command -v man >/dev/null || fail "man is missing (scripts/setup.sh installs man-db)"

warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man --warnings -l docs/quorvex.1: $warnings"
# Without hyphenation, so that no name is split at a line end.
text=$(LC_ALL=C MANWIDTH=80 MANROFFOPT=-rHY=0 man -l "$page")

help=$("$program" --help)
spread=$(dirname "$program")/quorvex-mpi
if [ -x "$spread" ]; then help+=$'\n'$("$spread" --help); else echo "quorvex-mpi not built"; fi
names=$({
  grep -oE -- '(^|[][ (|,])-{1,2}[a-z][a-z-]*' <<<"$help" | grep -oE -- '-.*'  # options
  sed -nE 's/^(Usage:)? +quorvex ([a-z|]+).*/\2/p' <<<"$help" | tr '|' '\n'     # commands
  grep -oE '[A-Za-z]+(<k>)?\.(INI|TXT|BIN|txt)' <<<"$help"                       # files
  sed -n '/^PARAMS.INI keys/,/^$/s/^  \([A-Z]\+\) .*/\1/p' <<<"$help"            # keys
} | sort -u)
count=$(wc -l <<<"$names")
[ "$count" -gt 30 ] || fail "only $count names read from --help: $names"
missing=
for name in $names; do grep -qwF -- "$name" <<<"$text" || missing+=" $name"; done
[ -z "$missing" ] || fail "docs/quorvex.1 does not name:$missing"
echo "docs/quorvex.1 renders without warnings and names all $count options, commands," \
  "files and keys of --help"
