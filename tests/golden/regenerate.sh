#!/usr/bin/env bash
# Regenerates the stored expected outputs of the golden runs: for every case,
# the preparer's console, the estimator's console trace, the report and the
# local-parameter file after the run. The raw data of the simulated cases was
# drawn once by bench/simulate (the commands are kept below) and is stored,
# so these files change only when the programs' output changes.
#
#   tests/golden/regenerate.sh BUILD_DIR            rewrite the expected outputs
#   tests/golden/regenerate.sh BUILD_DIR --draw     also draw the raw data again
#                                                   (needs -DGROWTH_BENCH=ON)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)

if [ "${2:-}" = --draw ]; then
  draw() {
    local name=$1; shift
    mkdir -p "$here/$name"
    (cd "$here/$name" && "$build/bench/simulate" --prefix case --plots 20 --measurements 8 --mfreq 7 --itlim 12 \
        --tol 1e-6 --seed 7 "$@" && mv case.txt raw.txt && mv case.ctl control && mv case.answers answers)
  }
  draw model1 --model 1 --globals 0.15,0.7,0.2,0.05 --locals 3.0:0.4
  draw model4 --model 4 --globals 0.15,0.7,0.05,0.2,0.05 --locals 3.0:0.4
  draw model9 --model 9 --globals 3.0,0.7,0.05,0.2,0.05 --locals 0.15:0.03
  draw model11 --model 11 --globals 2.0,6.0,0.7,0.2,0.05 --locals 0.15:0.03
  draw model13 --model 13 --globals 0.7,0.2,0.05 --locals 3.0:0.4,0.15:0.03
  draw model14 --model 14 --globals 0.15,0.7,0.2,0.05 --locals 3.0:0.4 --k1 1 --k2 10
  draw model18 --model 18 --globals 0.7,0.2,0.05 --locals 3.0:0.4,0.15:0.03 --k1 1 --k2 10
fi

for dir in "$here"/*/; do
  [ -f "$dir/control" ] || continue
  work=$(mktemp -d)
  "$build/preparer" "$dir/raw.txt" "$work/data" "$work/locals" < "$dir/answers" > "$dir/expected-preparer"
  ESTIMATOR_THREADS=1 "$build/estimator" "$dir/control" "$work/data" "$work/locals" "$work/report" \
    > "$dir/expected-trace"
  cp "$work/report" "$dir/expected-report"
  cp "$work/locals" "$dir/expected-locals"
  rm -rf "$work"
  echo "$(basename "$dir"): $(sed -n 3p "$dir/expected-report")"
done
