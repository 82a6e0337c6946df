#!/usr/bin/env bash
# Regenerates the stored expected outputs of the golden runs: for every case,
# the preparer's console, the estimator's console trace, the report, the
# local-parameter file after the run, the JSON and CSV results, the
# projector's tables and figures (with the case's projector-settings), and the
# starter's control file and locals. The raw data of the simulated cases was
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
  cp "$work/locals" "$work/starter-locals"
  cp "$dir/control" "$work/control"
  # The results files name the files as given: relative names, from the work directory.
  (cd "$work" && ESTIMATOR_THREADS=1 "$build/estimator" control data locals report \
    --json results.json --plots plots.csv > "$dir/expected-trace")
  cp "$work/report" "$dir/expected-report"
  cp "$work/locals" "$dir/expected-locals"
  cp "$work/results.json" "$dir/expected-results.json"
  cp "$work/plots.csv" "$dir/expected-plots.csv"
  (cd "$work" && "$build/projector" results.json data locals $(cat "$dir/projector-settings") \
    --projections projections.csv --residuals residuals.csv --site-index site-index.csv \
    --plot-figure plots.svg --curve-figure curves.svg --residual-figure residuals.svg)
  for f in projections.csv residuals.csv site-index.csv plots.svg curves.svg residuals.svg; do
    cp "$work/$f" "$dir/expected-$f"
  done
  read -r model k1 k2 _ < <(tail -n 1 "$dir/control")
  "$build/starter" "$work/data" "$work/starter-locals" "$work/starter-control" --model "$model" --k1 "$k1" --k2 "$k2" \
    > /dev/null
  cp "$work/starter-control" "$dir/expected-starter-control"
  cp "$work/starter-locals" "$dir/expected-starter-locals"
  rm -rf "$work"
  echo "$(basename "$dir"): $(sed -n 3p "$dir/expected-report")"
done
