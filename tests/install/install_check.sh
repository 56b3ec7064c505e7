#!/usr/bin/env bash
# Installs a build as its users would and runs what was installed:
#   tests/install/install_check.sh [BUILD]     (default: build)
# cmake --install into a scratch prefix, then the installed program, bash
# completion and the README's host program (through pkg-config and
# find_package); cpack -G DEB, whose packages must hold just what cmake
# --install put and run unpacked; and, as root with CI=true or
# QUORVEX_APT_CHECK=1 where no quorvex package is installed yet, apt-get
# install of the packages and their purge.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build}")
source "$root/tests/reliability/files.bash"
begin_script install "$build/quorvex"
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache CMAKE_PROJECT_VERSION) libdir=$(cache CMAKE_INSTALL_LIBDIR)
ntl=$(sed -n 's/^#define NTL_VERSION "\(.*\)"/\1/p' /usr/include/NTL/version.h)
fplll=$(sed -n 's/^#define FPLLL_VERSION \([0-9.]*\)$/\1/p' /usr/include/fplll/fplll_config.h)
mpi=
[ -x "$build/quorvex-mpi" ] && mpi=1

# The installed program under PREFIX: help, version, and a seeded walk over
# two MaxBase values of the installed example, to its end.
check_program() { # prefix what
  local bin=$1/bin/quorvex folder=$work/search-$2
  [ "$("$bin" --help)" = "$("$build/quorvex" --help)" ] || fail "$2: quorvex --help"
  [ "$("$bin" --version)" = "quorvex $version (NTL $ntl, fplll $fplll)" ] ||
    fail "$2: quorvex --version says '$("$bin" --version)', not $version with NTL $ntl, fplll $fplll"
  cp -r "$1/share/quorvex/examples" "$folder"
  local start
  start=$(sed -n 's/^START=//p' "$folder/PARAMS.INI")
  sed -i "s/^END=.*/END=$((start + 2))/; s/^ITERATIONS=.*/ITERATIONS=2/" "$folder/PARAMS.INI"
  (cd "$folder" && "$bin" --seed 3 --quiet >"$folder.out") || fail "$2: search status $?"
  grep -qx "START=$((start + 2))" "$folder/PARAMS.INI" && [ -s "$folder/DATA4.BIN" ] ||
    fail "$2: the search did not walk to END: $(tail -c 300 "$folder.out")"
}

# The README's host program, built by COMMAND... in FOLDER and run there with
# the library of LIBDIR; its search logs, and quorvex verifies every line.
check_host() { # folder libdir command...
  local folder=$1 lib=$2
  shift 2
  (cd "$folder" && "$@") >"$folder.out" 2>&1 ||
    fail "$folder: build: $(tail -c 500 "$folder.out")"
  [[ $(LD_LIBRARY_PATH=$lib ldd "$folder/host") == *"libquorvex.so.1 => $lib/"* ]] ||
    fail "$folder/host does not load $lib/libquorvex.so.1"
  cp "$prefix/share/quorvex/examples/"* "$folder/"
  (cd "$folder" && LD_LIBRARY_PATH=$lib ./host 5 4 >host.out) || fail "$folder/host: status $?"
  [ -s "$folder/DATA4.TXT" ] || fail "$folder/host: nothing logged in 4 iterations"
  (cd "$folder" && "$prefix/bin/quorvex" verify >verify.out) ||
    fail "$folder/host logged what does not hold: $(tail -c 500 "$folder/verify.out")"
}

echo "== cmake --install"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
lib=$prefix/$libdir
expected=(bin/quorvex include/quorvex.h "$libdir/libquorvex.so" "$libdir/libquorvex.so.1"
  "$libdir/libquorvex.so.$version" "$libdir/pkgconfig/quorvex.pc"
  "$libdir/cmake/quorvex/quorvexConfig.cmake" share/quorvex/examples/PARAMS.INI
  share/quorvex/examples/DATABASE.TXT share/doc/quorvex/README.md share/man/man1/quorvex.1
  share/bash-completion/completions/quorvex)
[ -z "$mpi" ] || expected+=(bin/quorvex-mpi share/man/man1/quorvex-mpi.1
  share/bash-completion/completions/quorvex-mpi)
for file in "${expected[@]}"; do [ -e "$prefix/$file" ] || fail "not installed: $file"; done
readelf -d "$lib/libquorvex.so.$version" | grep >/dev/null 'SONAME.*\[libquorvex\.so\.1\]' ||
  fail "libquorvex.so.$version has no SONAME libquorvex.so.1"
[ "$(man -M "$prefix/share/man" -w quorvex)" = "$prefix/share/man/man1/quorvex.1" ] ||
  fail "man does not find the installed page"
check_program "$prefix" prefix

# Completion as bash runs it: the command line so far in COMP_WORDS.
complete_line() { # words...
  (cd "$work" && PATH=$prefix/bin:$PATH bash -c 'source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quorvex; echo "${COMPREPLY[*]}"' \
    _ "$prefix/share/bash-completion/completions/quorvex" "$@")
}
mkdir "$work/merge-from"
[ "$(complete_line quorvex m)" = merge ] && [ "$(complete_line quorvex -j 2 --q)" = --quiet ] &&
  [ "$(complete_line quorvex best --power 4 --s)" = "--seed --svg" ] &&
  [ "$(complete_line quorvex merge merge-f)" = merge-from ] &&
  [ "$(complete_line quorvex best --svg prefi)" = prefix ] &&
  [ "$(complete_line quorvex --reducer BKZ_F)" = "BKZ_FP BKZ_FP_PRUNED" ] || fail "bash completion"

echo "== The README's host program, through pkg-config and find_package"
for kind in pc cmake; do mkdir "$work/host-$kind"; done
sed -n '/^```c$/,/^```$/{/^```/!p}' "$root/README.md" >"$work/host-pc/host.c"
cp "$work/host-pc/host.c" "$work/host-cmake/"
sed -n '/^```cmake$/,/^```$/{/^```/!p}' "$root/README.md" >"$work/host-cmake/CMakeLists.txt"
export PKG_CONFIG_PATH=$lib/pkgconfig
check_host "$work/host-pc" "$lib" bash -c "$(grep -m1 '^cc host.c .*pkg-config' "$root/README.md") \
  -Wall -Wextra -Werror"
check_host "$work/host-cmake" "$lib" bash -c "cmake -S . -B out -DCMAKE_PREFIX_PATH='$prefix' \
  -DCMAKE_C_FLAGS='-Wall -Wextra -Werror' && cmake --build out && cp out/host host"
cmp -s "$work/host-pc/DATA4.TXT" "$work/host-cmake/DATA4.TXT" ||
  fail "the two hosts, with the same seed, logged differently"

echo "== cpack -G DEB"
(cd "$build" && cpack -G DEB -B "$work/deb" >"$work/cpack.out" 2>&1) ||
  fail "cpack: $(tail -c 800 "$work/cpack.out")"
arch=$(dpkg --print-architecture)
packages=("$work/deb/quorvex_${version}_$arch.deb")
[ -z "$mpi" ] || packages+=("$work/deb/quorvex-mpi_${version}_$arch.deb")
for package in "${packages[@]}"; do
  [ -f "$package" ] || fail "cpack made no ${package##*/}: $(ls "$work/deb")"
  dpkg-deb -c "$package" | awk '$1 !~ /^d/ { sub("^\\./usr/", "", $6); print $6 }'
done | sort >"$work/packaged"
(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort) >"$work/installed"
diff "$work/installed" "$work/packaged" >"$work/difference" ||
  fail "the packages differ from cmake --install (< installed only, > packaged only):
$(cat "$work/difference")"
dpkg-deb -f "${packages[0]}" Depends | grep libntl | grep libfplll | grep >/dev/null libgmp ||
  fail "quorvex depends on: $(dpkg-deb -f "${packages[0]}" Depends)"
[ -z "$mpi" ] || dpkg-deb -f "${packages[1]}" Depends |
  grep -E "quorvex \(= $version\)" | grep openmpi-bin | grep >/dev/null libopenmpi ||
  fail "quorvex-mpi depends on: $(dpkg-deb -f "${packages[1]}" Depends)"
for package in "${packages[@]}"; do dpkg-deb -x "$package" "$work/unpacked"; done
check_program "$work/unpacked/usr" unpacked

if [ "$(id -u)" != 0 ] || { [ "${CI:-}" != true ] && [ "${QUORVEX_APT_CHECK:-}" != 1 ]; }; then
  echo "(apt-get install of the packages: only as root with CI=true or QUORVEX_APT_CHECK=1)"
  exit 0
fi
if [ "$(dpkg-query -W -f='${Status}' quorvex 2>/dev/null)" = "install ok installed" ]; then
  echo "(apt-get install of the packages: skipped, a quorvex package is installed already)"
  exit 0
fi
echo "== apt-get install of the packages, then purge"
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=120)
on_exit() { "${apt[@]}" purge quorvex quorvex-mpi >/dev/null 2>&1 || true; }
"${apt[@]}" install "${packages[@]}" >"$work/apt.out" 2>&1 ||
  fail "apt-get install: $(tail -c 800 "$work/apt.out")"
[ "$(/usr/bin/quorvex --version)" = "quorvex $version (NTL $ntl, fplll $fplll)" ] ||
  fail "quorvex in /usr says '$(/usr/bin/quorvex --version)'"
[ "$(man -w quorvex)" = /usr/share/man/man1/quorvex.1 ] || fail "quorvex.1 in /usr"
[ "$(PKG_CONFIG_PATH='' pkg-config --modversion quorvex)" = "$version" ] ||
  fail "quorvex.pc in /usr"
"${apt[@]}" purge quorvex quorvex-mpi >"$work/apt.out" 2>&1 ||
  fail "apt-get purge: $(tail -c 800 "$work/apt.out")"
if [ -e /usr/bin/quorvex ] || [ -e "/usr/$libdir/libquorvex.so.1" ]; then fail "files left"; fi
echo "installed from the packages with apt-get and purged again"
