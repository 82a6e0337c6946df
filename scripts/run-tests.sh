#!/usr/bin/env bash
# Builds and runs the whole test suite twice: an optimised build, and a build
# with the address and undefined-behaviour sanitizers; then the tests that
# run several threads in a build with the thread sanitizer; then runs each
# fuzz target briefly (FUZZ_SECONDS, default 10).
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

# The worker pool, the passes over the plots and every program run with
# several threads; a race reported by the sanitizer fails the test.
echo "== thread-sanitizer build"
cmake --preset thread >/dev/null
cmake --build --preset thread
echo "== thread-sanitizer tests"
ctest --preset thread

echo "== fuzzing (each target briefly; scripts/run-fuzzers.sh runs longer)"
scripts/run-fuzzers.sh "${FUZZ_SECONDS:-10}"
echo "== all tests passed"
