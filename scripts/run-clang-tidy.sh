#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy on every source file of the
# programs and libraries (not the tests, benchmarks or fuzz targets); fails
# on any finding.
#
#   scripts/run-clang-tidy.sh [FILE...]      (default: the whole tree)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-tidy >/dev/null || scripts/install-deps.sh test
cmake -S . -B build-tidy -DCMAKE_BUILD_TYPE=Release -DGROWTH_TESTS=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
if [ $# -gt 0 ]; then files=("$@"); else mapfile -t files < <(git ls-files '*.cpp' | grep -v '^\(tests\|fuzz\|bench\)/'); fi
printf '%s\n' "${files[@]}" | xargs -P 2 -n 4 clang-tidy -p build-tidy --quiet \
  --header-filter="^$(pwd)/(io|common|model|estimator|preparer|projector|starter|comparer)/"
echo "clang-tidy: ${#files[@]} files, no findings"
