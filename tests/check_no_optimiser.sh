#!/usr/bin/env bash
# Checks that a program links none of the estimator's optimiser: the Newton
# method, its passes over the plots, the random-locals fit and run control.
# The programs that only evaluate the model (the projector, the starter, the
# comparer) use the model's library and one plot's Newton pieces.
#   check_no_optimiser.sh PROGRAM...
set -euo pipefail
status=0
for program in "$@"; do
  found=$(nm -C --defined-only "$program" | grep -E ' estimator::(newton|PassPipeline|random_locals_fit|run_estimator|marginal_pass)' || true)
  if [ -n "$found" ]; then
    echo "$program links the optimiser:"
    echo "$found" | head -5
    status=1
  else
    echo "$program: no optimiser"
  fi
done
exit $status
