#!/usr/bin/env bash
# The rounding floor of GMAX against the number of plots and measurements,
# next to the tolerance the starter writes. For each case: data simulated by
# bench/simulate, the starter, then
#   - the estimator with tolerance 0 and ITERATIONS iterations, from the
#     simulation's start (globals at the truth, locals at their means) and from
#     the self-start: the smallest GMAX of any iteration and the GMAX of the
#     last (once the objective's rounding noise exceeds the estimator's slack
#     of 1e-10, steps are refused and GMAX stops falling wherever it is);
#   - the estimator from the self-start with the starter's tolerance: outcome
#     and iterations.
#
#   bench/gmax-floor.sh [CASES...]      a case is MODEL:PLOTS:MEASUREMENTS
#                                       (default: model 1 and 13 at 10^3 to 10^5
#                                       plots of 10 measurements, model 1 with 6
#                                       and 20 measurements at 10^4 and 10^5)
set -euo pipefail
cd "$(dirname "$0")/.."
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(1:1000:10 1:10000:10 1:100000:10 13:1000:10 13:10000:10 13:100000:10
                                  1:10000:6 1:100000:6 1:10000:20 1:100000:20)
iterations=${ITERATIONS:-25}
source bench/common.sh
bench_setup gmax

gmaxes() { sed -n 's/.*GMAX= *\([^ ]*\) .*/\1/p' "$1"; }

echo "| model | plots | measurements per plot | starter's tolerance | from the truth, tolerance 0: smallest GMAX | GMAX of the last iteration | from the self-start, tolerance 0: smallest GMAX | GMAX of the last iteration | from the self-start with the starter's tolerance: outcome | iterations |"
echo "|---|---|---|---|---|---|---|---|---|---|"
for c in "${cases[@]}"; do
  IFS=: read -r model np nm <<<"$c"
  p=$work/case
  if [ "$model" = 13 ]; then globals=0.7,0.2,0.05; locals=3.0:0.4,0.25:0.04; else globals=0.15,0.7,0.2,0.05; locals=3.0:0.4; fi
  "$B/bench/simulate" --prefix "$p" --plots "$np" --model "$model" --globals "$globals" --locals "$locals" \
    --measurements "$nm" --seed 7
  "$B/preparer" "$p.txt" "$p.dat" "$p.loc" < "$p.answers" > /dev/null
  cp "$p.loc" "$p.truth.loc"
  sed "4s/.*/0 $((iterations - 1)) 0/" "$p.ctl" > "$p.truth.ctl"
  "$B/estimator" "$p.truth.ctl" "$p.dat" "$p.truth.loc" "$p.rep" > "$p.truth.trace"
  "$B/starter" "$p.dat" "$p.loc" "$p.ctl" --model "$model" > /dev/null 2>&1
  tol=$(sed -n '4p' "$p.ctl" | awk '{ print $3 }')
  cp "$p.loc" "$p.start"
  sed "4s/.*/0 $((iterations - 1)) 0/" "$p.ctl" > "$p.zero.ctl"
  "$B/estimator" "$p.zero.ctl" "$p.dat" "$p.loc" "$p.rep" > "$p.trace"
  cp "$p.start" "$p.loc"
  "$B/estimator" "$p.ctl" "$p.dat" "$p.loc" "$p.rep" --json "$p.json" > /dev/null
  outcome=$(sed -n 's/^  "outcome": "\(.*\)",$/\1/p' "$p.json")
  its=$(sed -n 's/^  "iterations": \(.*\),$/\1/p' "$p.json")
  echo "| $model | $np | $nm | $tol | $(gmaxes "$p.truth.trace" | sort -g | head -1) | $(gmaxes "$p.truth.trace" | tail -1) |" \
       "$(gmaxes "$p.trace" | sort -g | head -1) | $(gmaxes "$p.trace" | tail -1) | $outcome | $its |"
  rm -f "$p".*
done
