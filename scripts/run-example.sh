#!/usr/bin/env bash
# Builds the five programs and runs the bundled examples: preparer, estimator
# and projector on the walk-through's files, then starter and comparer as in
# "Fitting your own data".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DGROWTH_TESTS=OFF >/dev/null
cmake --build build --parallel 2 --target preparer estimator projector starter comparer >/dev/null
examples/run.sh build build/examples
