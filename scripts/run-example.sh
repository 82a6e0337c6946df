#!/usr/bin/env bash
# Builds both programs and runs the bundled examples: preparer, then estimator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake --preset example >/dev/null  # in build, without the tests
cmake --build --preset example >/dev/null
examples/run.sh build build/examples
