#!/usr/bin/env bash
# Benchmark of the projector on simulated data: throughput and peak memory
# from 10^3 to 10^6 plots; writes the projector's section of bench/RESULTS.md
# (between the projector markers; bench/run-benchmarks.sh keeps it).
#
#   bench/run-projector-benchmarks.sh [PLOT COUNTS...]   (default: 1000 10000 100000 1000000)
#
# The results file comes from one estimator iteration on the simulated data
# (the projector's cost does not depend on how far the fit went). Each size
# runs the projector twice and the faster run counts (the machine is shared).
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1000 10000 100000 1000000)

source bench/common.sh
bench_setup projector-bench

rows=()
for np in "${sizes[@]}"; do
  p=$work/m1_$np
  "$B/bench/simulate" --prefix "$p" --plots "$np" --model 1 --globals 0.15,0.7,0.2,0.05 --locals 3.0:0.4 \
    --measurements 10 --seed 7 --itlim 1
  "$B/preparer" "$p.txt" "$p.dat" "$p.loc" < "$p.answers" > /dev/null
  "$B/estimator" "$p.ctl" "$p.dat" "$p.loc" "$p.rep" --json "$p.json" > /dev/null
  best="" ; rss=0
  for _ in 1 2; do
    m=$("$B/bench/measure" /dev/null /dev/null -- "$B/projector" "$p.json" "$p.dat" "$p.loc" \
        --projections "$p.proj.csv" --ages 5:25:5 --residuals "$p.res.csv" --site-index "$p.si.csv" --base-age 20 \
        --plot-figure "$p.plots.svg" --curve-figure "$p.curves.svg" --residual-figure "$p.res.svg")
    [ "$(field status "$m")" = 0 ] || { echo "projector failed at $np plots" >&2; exit 1; }
    s=$(field seconds "$m")
    best=$(awk -v a="$s" -v b="$best" 'BEGIN { print (b == "" || a < b) ? a : b }')
    k=$(field max_rss_kib "$m"); [ "$k" -gt "$rss" ] && rss=$k
  done
  out=$(cat "$p".proj.csv "$p".res.csv "$p".si.csv "$p"*.svg | wc -c)
  row="| $np | $((np * 10)) | $best | $(awk -v n="$np" -v s="$best" 'BEGIN { printf "%.0f", n / s }') | $((out / 1048576)) MiB | $((rss / 1024)) MiB |"
  rows+=("$row")
  echo "$row"
  rm -f "$p".*
done

section=$work/section.md
{
  echo "## Projector"
  echo
  echo "Produced by \`bench/run-projector-benchmarks.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'), on the machine above."
  echo "Model 1, 10 measurements per plot (\`bench/simulate\`), results file from one estimator iteration."
  echo "One run writes every output: projections at 5 ages, residuals, site index and the three figures"
  echo "(one pass over the plots, and one more over the local-parameter file for the guide curves);"
  echo "seconds are the faster of 2 runs, RSS the peak resident memory."
  echo
  echo "| plots | measurements | seconds | plots/s | output | RSS |"
  echo "|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
} > "$section"
# The section replaces its earlier run in place; every other section is kept.
bench/put-section.py bench/RESULTS.md "projector" "$section"
echo "written bench/RESULTS.md"
