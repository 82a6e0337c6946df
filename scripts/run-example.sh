#!/usr/bin/env bash
# Builds the five programs and runs the bundled examples: preparer, estimator
# and projector on the walk-through's files, then starter and comparer as in
# "Fitting your own data".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake --preset example >/dev/null  # in build, without the tests
cmake --build --preset example >/dev/null
examples/run.sh build build/examples
