#!/usr/bin/env bash
# How many small faults the tests catch. One at a time, an operator of the
# engine (base/, store/, search/, run/) is changed: < <= > >= loosened or
# tightened, == and != or && and || swapped, "+ 1" made "+ 2", "- 1" made "- 0".
# SEED draws the sites from every such spot outside comments, literals and
# preprocessor lines. A fault that does not compile is skipped; else the unit
# tests run, then the scripts, and a failing or overrunning test catches it.
#   scripts/mutants.sh BUILD_DIR COUNT SEED     e.g. scripts/mutants.sh build 24 1
# The changed file is restored after each fault, on Ctrl-C and on any exit.
# QUORVEX_MUTANT_TESTS, a ctest selection such as "-E script_|program_fuzz",
# runs only those tests.
set -uo pipefail
[ $# -eq 3 ] || { echo "usage: $0 BUILD_DIR COUNT SEED" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "$1") log=$(realpath "$1")/mutant.log
limit=${QUORVEX_MUTANT_SECONDS:-900}
saved=$(mktemp) file= child=
restore() { if [ -n "$file" ]; then cp "$saved" "$root/$file" && touch "$root/$file"; file=; fi; }
trap 'restore; rm -f "$saved"' EXIT
trap '[ -z "$child" ] || kill "$child" 2>/dev/null; exit 130' INT TERM
# `timeout` stops the command's whole process group, on overrun or interrupt.
run() { timeout -k 10 "$limit" nice -n 5 "$@" </dev/null >>"$log" 2>&1 & child=$! && wait $child; }

sites=$(cd "$root" && python3 - "$2" "$3" base/*.cpp store/*.cpp search/*.cpp run/*.cpp <<'EOF'
import random, re, sys
swaps = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==", "&&": "||",
         "||": "&&", "+ 1": "+ 2", "- 1": "- 0"}
# Spaced binary operators only: template brackets, <<, >>, -> and signs never match.
pattern = re.compile(r"(?<= )(<=|>=|==|!=|&&|\|\||<|>|\+ 1\b|- 1\b)(?=[ );,\]]|$)")
found, in_block = [], False
for name in sorted(sys.argv[3:]):
    for number, line in enumerate(open(name), 1):
        code, i = "", 0  # the line with comments and literals blanked out
        while i < len(line):
            if in_block:
                end = line.find("*/", i)
                if end < 0: break
                code, i, in_block = code + " " * (end + 2 - i), end + 2, False
            elif line.startswith("/*", i): in_block = True
            elif line.startswith("//", i): break
            elif line[i] in "\"'":
                end = i + 1
                while end < len(line) and line[end] != line[i]: end += 2 if line[end] == "\\" else 1
                code, i = code + " " * (end + 1 - i), end + 1
            else: code, i = code + line[i], i + 1
        if not code.lstrip().startswith("#"):
            found += [(name, number, m.start() + 1, m[1], swaps[m[1]]) for m in pattern.finditer(code)]
# Drawn in a fixed order, so that a smaller COUNT gives the first faults of a larger one.
random.Random(int(sys.argv[2])).shuffle(found)
print("\n".join("\t".join(map(str, site)) for site in found[:int(sys.argv[1])]))
EOF
) || exit 2

parts=("-E script_|program_fuzz" "-R script_|program_fuzz")  # the quick ones first
[ -z "${QUORVEX_MUTANT_TESTS:-}" ] || parts=("$QUORVEX_MUTANT_TESTS")
caught=0 total=0
while IFS=$'\t' read -r -u 3 name line column from to; do
  cp "$root/$name" "$saved" && file=$name
  sed -i "${line}s/^\(.\{$((column - 1))\}\)$from/\1${to//&/\\&}/" "$root/$file"
  ! cmp -s "$saved" "$root/$file" || { echo "$file:$line: '$from' not found" >&2; exit 2; }
  where="$file:$line: '$from' -> '$to'"
  : >"$log"
  if ! run cmake --build "$build" -j2; then
    echo "$where: does not compile, skipped"
    restore
    continue
  fi
  total=$((total + 1)) verdict=survived
  for part in "${parts[@]}"; do
    # shellcheck disable=SC2086
    run ctest --test-dir "$build" -j2 --stop-on-failure $part
    case $? in
      0) continue ;;
      124 | 137) verdict="caught (overran ${limit} s)" ;;
      *) verdict="caught ($(grep -m1 -oE '[0-9]+ - [^ ]+ \(' "$log" | sed 's/^[0-9]* - //; s/ ($//'))" ;;
    esac
    caught=$((caught + 1)) && break
  done
  echo "$where: $verdict"
  restore
done 3<<<"$sites"
echo "caught $caught of $total"
run cmake --build "$build" -j2 || echo "rebuild of the restored sources failed" >&2
