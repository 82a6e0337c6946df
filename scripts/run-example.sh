#!/usr/bin/env bash
# Builds both programs and runs the bundled examples: preparer, then estimator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DGROWTH_TESTS=OFF >/dev/null
cmake --build build --parallel 2 --target preparer estimator projector >/dev/null
examples/run.sh build build/examples
