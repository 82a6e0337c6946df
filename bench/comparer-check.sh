#!/usr/bin/env bash
# The comparer on data simulated from each model: for every model M, PLOTS
# plots of 6 to 12 measurements (bench/simulate at the parameters of
# simulation_truth in bench/common.sh), then `comparer` fitting all 18 models
# to them. Prints one row per simulated model: how many models converged, the
# simulating model's own outcome, and each model that did not converge with
# its outcome and the comparer's flag (why it could not be started).
#
#   bench/comparer-check.sh [PLOTS] [SEED]      (default 300 plots, seed 11)
set -euo pipefail
cd "$(dirname "$0")/.."
plots=${1:-300}
seed=${2:-11}
source bench/common.sh
bench_setup comparercheck

echo "| simulated from | models converged | its own model | the others, not converged: model (outcome; flag) |"
echo "|---|---|---|---|"
for model in $(seq 1 18); do
  read -r globals locals < <(simulation_truth "$model")
  p=$work/m$model
  "$B/bench/simulate" --prefix "$p" --plots "$plots" --model "$model" --globals "$globals" --locals "$locals" \
    --measurements 6 --max-measurements 12 --seed "$seed" --k1 1 --k2 10 --itlim 100 --tol 1e-5
  "$B/preparer" "$p.txt" "$p.dat" "$p.loc" < "$p.answers" > /dev/null
  "$B/comparer" "$p.dat" "$p.loc" "$p.out" --k1 1 --k2 10 > /dev/null 2> "$p.err" || true
  python3 - "$p.out/comparison.csv" "$model" <<'PY'
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1])))
own = next(r for r in rows if r["model"] == sys.argv[2])
converged = [r for r in rows if r["outcome"] == "converged"]
others = [f'{r["model"]} ({r["outcome"]}; {r["flag"] or "-"})' for r in sorted(rows, key=lambda r: int(r["model"]))
          if r["outcome"] != "converged"]
print(f'| {sys.argv[2]} | {len(converged)} of {len(rows)} | {own["outcome"]} | {", ".join(others) or "-"} |')
PY
done
