#!/usr/bin/env bash
# The random-locals fit at scale: model 1 (globals b, c, sigma_p, sigma_e =
# 0.15, 0.7, 0.2, 0.05; asymptotes 3.0:0.4; 10 measurements per plot) simulated
# by bench/simulate at each plot count, then
#   - a fixed-locals fit (2 threads) from the simulation's start;
#   - a random-locals fit (Laplace, 2 threads) from its estimates (globals and
#     local-parameter file): seconds per outer iteration (median gap between
#     consecutive iteration summaries) against the fixed-locals fit's seconds
#     per iteration, outer iterations to convergence, the whole fit's wall
#     time and peak RSS;
#   - at the plot counts up to BYTES_UP_TO (default 10000), the random-locals
#     fit again with 1 and 3 threads: report, trace, results and local-parameter
#     files compared byte for byte with the 2-thread run's.
# Writes the section "Random locals at scale" of bench/RESULTS.md in place,
# keeping the others.
#
#   bench/random-locals-bench.sh [PLOT COUNTS...]   (default 1000 10000 100000 1000000)
#
# BENCH_BUILD names a build to use instead of building build-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
bench_setup rlbench
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 10000 100000 1000000)
bytes_up_to=${BYTES_UP_TO:-10000}

# median_gap MARKS: the median gap between consecutive comma-separated times.
median_gap() {
  tr ',' '\n' <<<"$1" | awk 'NR > 1 { print $1 - prev } { prev = $1 }' | sort -g |
    awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else printf "%.4f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# random_fit DIR THREADS: the random-locals fit in DIR (files by relative
# names, so that runs in different folders write the same bytes); prints the
# line of bench/measure.
random_fit() {
  (cd "$1" && "$B/bench/measure" --mark "  ITER." /dev/null trace -- "$B/estimator" random.ctl ../p.dat locals \
     report --random-locals --threads "$2" --json results.json --plots plots.csv)
}

# mean_gap MARKS: (last - first) / (count - 1).
mean_gap() {
  tr ',' '\n' <<<"$1" | awk 'NR == 1 { first = $1 } { last = $1 } END { if (NR < 2) print "-"; else printf "%.4f", (last - first) / (NR - 1) }'
}

rows=()
for np in "${sizes[@]}"; do
  p=$work/p
  "$B/bench/simulate" --prefix "$p" --plots "$np" --model 1 --globals 0.15,0.7,0.2,0.05 --locals 3.0:0.4 \
    --measurements 10 --seed 1 --itlim 100 --tol 1e-6
  "$B/preparer" "$p.txt" "$p.dat" "$p.loc" < "$p.answers" > /dev/null
  rm "$p.txt"
  m=$("$B/bench/measure" --mark "  ITER." /dev/null "$p.fixed.trace" -- \
      "$B/estimator" "$p.ctl" "$p.dat" "$p.loc" "$p.fixed.rep" --threads 2 --json "$p.fixed.json")
  fixed_iter=$(median_gap "$(field marks "$m")")
  fixed_rss=$(field max_rss_kib "$m")
  for t in 2 1 3; do
    [ "$t" = 2 ] || [ "$np" -le "$bytes_up_to" ] || continue
    mkdir -p "$work/t$t"
    cp "$p.loc" "$work/t$t/locals"
    # The random-locals fit starts from the fixed-locals globals (line 5 of the control file).
    python3 - "$p.ctl" "$p.fixed.json" "$work/t$t/random.ctl" <<'PY'
import json, sys
lines = open(sys.argv[1]).read().split("\n")
lines[4] = " ".join(repr(x) for x in json.load(open(sys.argv[2]))["globals"]["estimates"])
open(sys.argv[3], "w").write("\n".join(lines))
PY
    r=$(random_fit "$work/t$t" "$t")
    if [ "$t" = 2 ]; then
      random_iter=$(median_gap "$(field marks "$r")")
      random_mean=$(mean_gap "$(field marks "$r")")
      random_seconds=$(field seconds "$r")
      random_rss=$(field max_rss_kib "$r")
      read -r outcome iterations < <(python3 -c 'import json,sys; j=json.load(open(sys.argv[1])); print(j["outcome"].replace(" ","_"), j["iterations"])' "$work/t2/results.json")
    fi
  done
  same="-"
  if [ "$np" -le "$bytes_up_to" ]; then
    same=yes
    for t in 1 3; do
      for f in report trace results.json plots.csv locals; do
        cmp -s "$work/t2/$f" "$work/t$t/$f" || same="no ($f, $t threads)"
      done
    done
  fi
  ratio=$(awk -v r="$random_iter" -v f="$fixed_iter" 'BEGIN { printf "%.2f", r / f }')
  row="| $np | $fixed_iter | $random_iter | $random_mean | $ratio | $outcome | $iterations | $random_seconds | $((fixed_rss / 1024)) MiB | $((random_rss / 1024)) MiB | $same |"
  rows+=("$row")
  echo "$row"
  rm -rf "$p".* "$work"/t?
done

section=$work/section.md
{
  echo "## Random locals at scale"
  echo
  echo "Produced by \`bench/random-locals-bench.sh ${sizes[*]}\` on $(date -u '+%Y-%m-%d %H:%M UTC'), on the machine"
  echo "above (shared with other work while it ran: seconds vary by a quarter or more from run to run)."
  echo "Model 1 simulated by \`bench/simulate\` (globals 0.15, 0.7, 0.2, 0.05; asymptotes 3.0:0.4; 10"
  echo "measurements per plot; seed 1). A fixed-locals fit from the simulation's start, then the random-locals"
  echo "fit (Laplace) from its estimates, both on 2 threads."
  echo
  echo "- fixed s/iter, random s/iter: median gap between consecutive iteration summaries of each run; ratio:"
  echo "  random over fixed (medians); random mean s/iter: the first summary to the last over the iterations"
  echo "  between them (with the outer Hessian's difference passes);"
  echo "- iterations: the random-locals fit's outer iterations to convergence (iteration 0 included);"
  echo "- seconds: the whole random-locals run (start-up, the fit, standard errors, report and files);"
  echo "- RSS: peak resident memory of each run;"
  echo "- same bytes: the random-locals report, trace, results.json, plots.csv and local-parameter file of 1 and"
  echo "  3 threads against those of 2 threads (checked up to $bytes_up_to plots)."
  echo
  echo "| plots | fixed s/iter | random s/iter | random mean s/iter | ratio | outcome | iterations | seconds | RSS fixed | RSS random | same bytes, 1 / 3 threads |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
} > "$section"
bench/put-section.py bench/RESULTS.md "random-locals fit" "$section"
echo "written bench/RESULTS.md"
