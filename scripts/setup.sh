#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when one is missing.
set -euo pipefail
packages=(g++ cmake make libntl-dev libgmp-dev libfplll-dev libmpfr-dev libgtest-dev libbenchmark-dev
  clang clang-format valgrind librsvg2-bin libxml2-utils openmpi-bin libopenmpi-dev man-db pkg-config
  dpkg-dev file)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
