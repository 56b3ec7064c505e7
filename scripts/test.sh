#!/usr/bin/env bash
# Sets up, builds and runs every test: style, the release build's tests (with a
# short whole-program fuzz), the program under valgrind, the installed program,
# library and Debian packages (tests/install/install_check.sh), the same tests
# under the address and undefined-behaviour sanitizers, and a short run of the
# fuzz targets (scripts/fuzz.sh and scripts/fuzz-program.sh run them long).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

echo "== Style (clang-format)"
files=$(git ls-files '*.cpp' '*.hpp' '*.h' 2>/dev/null || find control store search tests bench include -name '*.[ch]pp' -o -name '*.h')
clang-format --dry-run --Werror $files

echo "== Release build and tests"
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j "$(nproc)")

echo "== The program under valgrind's memcheck"
bash tests/reliability/memcheck.sh build/quorvex

echo "== Installed as users install it: cmake --install, the Debian packages"
bash tests/install/install_check.sh build

echo "== Sanitizer build and tests"
bash scripts/build.sh build-sanitize -DQUORVEX_SANITIZE=ON -DQUORVEX_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j "$(nproc)")

echo "== Fuzz smoke run (clang++ with the sanitizers, a few seconds per file reader)"
QUORVEX_FUZZ_OUT="$root/build-fuzz/smoke" bash scripts/fuzz.sh --seconds "${QUORVEX_FUZZ_SECONDS:-5}"
