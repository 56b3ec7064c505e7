#!/usr/bin/env bash
# Makes the benchmark stores that are not kept in bench/data, once, into
# BUILD/stores/<shape>/: scripts/bench-stores.sh [BUILD [shape...]]
# (default build-perf; shapes families, k8, long, large and published). A
# store already there is kept, so delete its folder to make it again. Each is checked
# exactly by the maker. None is committed: k8 takes minutes to make, and long
# (6.8 MB) and large (1.6 MB) are larger than the stores kept in bench/data.
set -euo pipefail
build=${1:-build-perf}
shift || true
shapes=("$@")
[ ${#shapes[@]} -gt 0 ] || shapes=(families k8 long large published)
maker="$build/bench/quorvex_make_store"
[ -x "$maker" ] || { echo "build $maker first: bash scripts/build.sh $build" >&2; exit 1; }
for shape in "${shapes[@]}"; do
  out="$build/stores/$shape"
  if compgen -G "$out/DATA*.BIN" >/dev/null; then
    echo "$shape: kept $(ls "$out"/DATA*.BIN)"
    continue
  fi
  "$maker" "$shape" "$out"
done
