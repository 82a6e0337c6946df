#!/usr/bin/env bash
# Benchmark of the projector's new plots (--new-data): throughput and peak
# memory from 10^4 to 10^6 new plots, which must stay flat; writes the section
# "New plots" of bench/RESULTS.md (between the new-plots markers;
# bench/run-benchmarks.sh keeps it).
#
#   bench/run-new-plots-benchmark.sh [PLOT COUNTS...]   (default: 10000 100000 1000000)
#
# For models 1 and 13, a fit of 1000 simulated plots (10 measurements each, the
# estimator from the simulation's start) gives the results file; then new plots
# of 5 measurements, simulated at the same parameters with another seed (a raw
# file in the fit's units), are fitted and projected in one projector run:
# their locals (--new-locals), projections at 6 ages, residuals, the plot
# figure and the residual figure. One run per size (the machine is shared:
# the times are one run's, and vary with the machine's load).
#
# BENCH_BUILD names a build to use instead of building build-bench; it must
# hold bench/simulate and bench/measure (a build configured with GROWTH_BENCH=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(10000 100000 1000000)

source bench/common.sh
bench_setup new-plots-bench

rows=()
for model in 1 13; do
  read -r globals locals <<<"$(simulation_truth "$model")"
  fit=$work/fit$model
  "$B/bench/simulate" --prefix "$fit" --plots 1000 --model "$model" --globals "$globals" --locals "$locals" \
    --measurements 10 --seed 7 --itlim 50
  "$B/preparer" "$fit.txt" "$fit.dat" "$fit.loc" < "$fit.answers" > /dev/null
  "$B/estimator" "$fit.ctl" "$fit.dat" "$fit.loc" "$fit.rep" --json "$fit.json" > /dev/null
  outcome=$(sed -n 's/.*"outcome": *"\([^"]*\)".*/\1/p' "$fit.json" | head -1)
  for np in "${sizes[@]}"; do
    p=$work/new$model-$np
    "$B/bench/simulate" --prefix "$p" --plots "$np" --model "$model" --globals "$globals" --locals "$locals" \
      --measurements 5 --seed 11
    m=$("$B/bench/measure" /dev/null /dev/null -- "$B/projector" "$fit.json" --new-data "$p.txt" \
        --new-locals "$p.locals.csv" --ages 5:30:5 --projections "$p.proj.csv" --residuals "$p.res.csv" \
        --plot-figure "$p.plots.svg" --residual-figure "$p.res.svg" 2> "$p.err")
    [ "$(field status "$m")" = 0 ] || { echo "projector failed at $np new plots of model $model" >&2; cat "$p.err" >&2; exit 1; }
    s=$(field seconds "$m")
    rss=$(field max_rss_kib "$m")
    left=$(grep -c ' left out: ' "$p.err" || true)
    rows_out=$(($(wc -l < "$p.proj.csv") - 1))
    row="| $model | $outcome | $np | $left | $rows_out | $s | $(awk -v n="$np" -v s="$s" 'BEGIN { printf "%.0f", n / s }') | $((rss / 1024)) MiB |"
    rows+=("$row")
    echo "$row"
    rm -f "$p".*
  done
done

section=$work/section.md
{
  echo "## New plots"
  echo
  echo "Produced by \`bench/run-new-plots-benchmark.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'), on $(nproc) cores shared"
  echo "with other work (one run per size, so the times vary with the machine's load)."
  echo "The results file is the estimator's fit of 1000 simulated plots of 10 measurements (outcome in the"
  echo "table); the new plots (\`bench/simulate\`, another seed, 5 measurements each) are read from a raw file,"
  echo "their locals fitted with the globals held, and one projector run writes \`--new-locals\`, projections"
  echo "at 6 ages, residuals, the plot figure and the residual figure. Left out: new plots whose locals"
  echo "their measurements cannot determine (named on the error stream). RSS: peak resident memory."
  echo
  echo "| model | fit | new plots | left out | projection rows | seconds | plots/s | RSS |"
  echo "|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
} > "$section"
# The section replaces its earlier run in place; every other section is kept.
bench/put-section.py bench/RESULTS.md "new plots" "$section"
echo "written bench/RESULTS.md"
