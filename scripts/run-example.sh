#!/usr/bin/env bash
# Sets up, builds, and runs a search in a fresh working folder made from examples/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
work=${QUORVEX_WORK:-$root/work}
mkdir -p "$work"
cp -n "$root"/examples/* "$work"/ 2>/dev/null || true
cd "$work"
echo "Searching in $work (press Escape or Ctrl-C to stop; run again to resume)"
exec "$root/build/quorvex" "$@"
