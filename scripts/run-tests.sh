#!/usr/bin/env bash
# Builds and runs the whole test suite twice: an optimised build, and a build
# with the address and undefined-behaviour sanitizers; then the tests that
# run several threads in a build with the thread sanitizer; then runs each
# fuzz target briefly (FUZZ_SECONDS, default 10).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

for kind in release sanitize; do
  dir=build-tests/$kind
  flags=(-DCMAKE_BUILD_TYPE=Release -DGROWTH_TESTS=ON)
  [ "$kind" = sanitize ] && flags+=(-DGROWTH_SANITIZE=ON)
  echo "== $kind build"
  cmake -S . -B "$dir" "${flags[@]}" >/dev/null
  cmake --build "$dir" --parallel 2
  echo "== $kind tests"
  (cd "$dir" && ctest --output-on-failure --parallel 2 --timeout 600)
done

# The worker pool, the passes over the plots and every program run with
# several threads; a race reported by the sanitizer fails the test.
echo "== thread-sanitizer build"
cmake -S . -B build-tests/thread -DCMAKE_BUILD_TYPE=Release -DGROWTH_TESTS=ON -DGROWTH_THREAD_SANITIZE=ON >/dev/null
cmake --build build-tests/thread --parallel 2 --target unit_tests program_tests
echo "== thread-sanitizer tests"
(cd build-tests/thread && ctest --output-on-failure --parallel 2 --timeout 600 -R 'WorkerPool|Threads|Golden|PlotFiles|Newton')

echo "== fuzzing (each target briefly; scripts/run-fuzzers.sh runs longer)"
scripts/run-fuzzers.sh "${FUZZ_SECONDS:-10}"
echo "== all tests passed"
