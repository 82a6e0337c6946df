#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Usage: scripts/install-deps.sh [build|test]
set -euo pipefail

# libceres-dev, libeigen3-dev and libboost-dev (Boost.Math): the starter's fits.
want=(cmake g++ make nlohmann-json3-dev libboost-dev help2man libceres-dev libeigen3-dev libxsimd-dev)
if [ "${1:-build}" = test ]; then
  want+=(libgtest-dev libbenchmark-dev clang-tidy libf2c2-dev clang libclang-rt-14-dev libeigen3-dev librsvg2-bin libpng-dev)
  # The R and Python packages' tests, and the summary page rendered by Chromium.
  want+=(r-base-core r-cran-jsonlite r-cran-testthat python3-pandas python3-pytest python3-venv python3-pip chromium)
fi

missing=()
for pkg in "${want[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq </dev/null
$sudo apt-get install -y -qq "${missing[@]}" </dev/null
