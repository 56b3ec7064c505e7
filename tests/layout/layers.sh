#!/usr/bin/env bash
# Every #include of the program's own headers must run from a folder to one
# on its own layer or below it; the layers, from the ground up:
#   base < store < search < run < report < cli < mpi
# (include/ holds the public header, which any layer may include). Tests and
# benchmarks stand outside the layers. Fails on the first wrong direction,
# naming the file, the line and the two layers.
set -euo pipefail
cd "$(dirname "$0")/../.."
layers=(base store search run report cli mpi)
level() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && echo "$i" && return; done
  echo -1
}
wrong=0
for folder in "${layers[@]}"; do
  own=$(level "$folder")
  for file in "$folder"/*.cpp "$folder"/*.hpp; do
    [ -e "$file" ] || continue
    while IFS=: read -r line target; do
      to=${target%%/*}
      [ "$to" = "$target" ] && continue  # a header of the same folder, by its bare name
      other=$(level "$to")
      if [ "$other" -lt 0 ]; then
        echo "$file:$line includes \"$target\", which is in no layer" >&2
        wrong=1
      elif [ "$other" -gt "$own" ]; then
        echo "$file:$line includes \"$target\": $folder must not depend on $to, above it" >&2
        wrong=1
      fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
             sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/' | grep -v ':quorvex\.h$' || true)
  done
done
# A folder of sources outside the layers would escape the check.
for dir in */; do
  dir=${dir%/}
  case "$dir" in include | tests | bench | scripts | docs | examples | packaging | build* | work) continue ;; esac
  compgen -G "$dir/*.[ch]pp" >/dev/null && [ "$(level "$dir")" -lt 0 ] &&
    echo "$dir/ holds sources but is in no layer" >&2 && wrong=1
done
[ "$wrong" -eq 0 ] && echo "layers: every include runs downward"
exit "$wrong"
