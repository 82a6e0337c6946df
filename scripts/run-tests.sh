#!/usr/bin/env bash
# Builds and runs the whole test suite twice: an optimised build, and a build
# with the address and undefined-behaviour sanitizers; then runs each fuzz
# target briefly (FUZZ_SECONDS, default 10).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

# The presets (CMakePresets.json) build in build-tests/release and build-tests/sanitize.
for kind in release sanitize; do
  echo "== $kind build"
  cmake --preset "$kind" >/dev/null
  cmake --build --preset "$kind"
  echo "== $kind tests"
  ctest --preset "$kind"
done
echo "== fuzzing (each target briefly; scripts/run-fuzzers.sh runs longer)"
scripts/run-fuzzers.sh "${FUZZ_SECONDS:-10}"
echo "== all tests passed"
