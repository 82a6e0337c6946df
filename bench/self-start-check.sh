#!/usr/bin/env bash
# Self-starts against starts at the truth, for every model: data simulated by
# bench/simulate from each model (PLOTS plots, 6 to 12 measurements each), then
#   - estimator from the simulation's start (globals at the true values, locals
#     at their means), and
#   - starter, then estimator from its control file and locals,
# both with iteration limit 100 and tolerance 1e-5. Prints one row per model:
# outcome and iterations of each run, their log-likelihoods and the relative
# difference.
#
#   bench/self-start-check.sh [PLOTS] [SEED]      (default 300 plots, seed 11)
set -euo pipefail
cd "$(dirname "$0")/.."
plots=${1:-300}
seed=${2:-11}
source bench/common.sh
bench_setup selfstart

json() { sed -n "s/^  \"$1\": \"\{0,1\}\([^\",]*\)\"\{0,1\},\{0,1\}$/\1/p" "$2"; }

echo "| model | truth: outcome | iterations | self-start: outcome | iterations | starter s | log-likelihood (truth) | log-likelihood (self-start) | relative difference |"
echo "|---|---|---|---|---|---|---|---|---|"
for model in $(seq 1 18); do
  read -r globals locals < <(simulation_truth "$model")
  p=$work/m$model
  "$B/bench/simulate" --prefix "$p" --plots "$plots" --model "$model" --globals "$globals" --locals "$locals" \
    --measurements 6 --max-measurements 12 --seed "$seed" --k1 1 --k2 10 --itlim 100 --tol 1e-5
  "$B/preparer" "$p.txt" "$p.dat" "$p.loc" < "$p.answers" > /dev/null
  cp "$p.loc" "$p.self.loc"
  "$B/estimator" "$p.ctl" "$p.dat" "$p.loc" "$p.rep" --json "$p.json" > /dev/null
  start=$(date +%s.%N)
  "$B/starter" "$p.dat" "$p.self.loc" "$p.self.ctl" --model "$model" --k1 1 --k2 10 > /dev/null
  seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
  "$B/estimator" "$p.self.ctl" "$p.dat" "$p.self.loc" "$p.self.rep" --json "$p.self.json" > /dev/null
  l1=$(json log_likelihood "$p.json"); l2=$(json log_likelihood "$p.self.json")
  rel=$(awk -v a="$l1" -v b="$l2" 'BEGIN { d = a - b; if (d < 0) d = -d; m = a < 0 ? -a : a; printf "%.1e", d / m }')
  echo "| $model | $(json outcome "$p.json") | $(json iterations "$p.json") | $(json outcome "$p.self.json") |" \
       "$(json iterations "$p.self.json") | $seconds | $l1 | $l2 | $rel |"
done
