#!/usr/bin/env bash
# Benchmarks of the estimator and the preparer on simulated data; writes its
# sections of bench/RESULTS.md (the heading, the iteration and self-start
# tables, the likelihood kernels) and keeps the others.
#
#   bench/run-benchmarks.sh [PLOT COUNTS...]     (default: 1000 10000 100000 1000000)
#
# Seconds per iteration come from the times at which the iteration summaries
# appear on the console of one run (so start-up and the report pass do not
# count). Floor and estimator runs alternate and the fastest of REPEATS runs
# (default 5) counts: the machines here are shared and their speed varies. The floor is the same arithmetic with every plot
# in memory, no file I/O and one thread (bench/floor). The starter is timed
# the same way (fastest of REPEATS), and the estimator then runs from its
# values to the end.
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1000 10000 100000 1000000)

source bench/common.sh
bench_setup bench


repeats=${REPEATS:-5}


# fit_once PREFIX THREADS -> "seconds-per-iteration rss trials" for one run of
# 5 iterations; the time of an iteration is the median gap between the
# arrivals of consecutive iteration summaries on the console, so start-up and
# the report pass do not count.
fit_once() {
  local prefix=$1 threads=$2 m
  sed "4s/.*/0 4 0/" "$prefix.ctl" > "$prefix.run.ctl"
  cp "$prefix.start" "$prefix.loc"
  m=$(ESTIMATOR_THREADS=$threads "$B/bench/measure" --mark "  ITER." /dev/null "$prefix.trace" -- \
      "$B/estimator" "$prefix.run.ctl" "$prefix.dat" "$prefix.loc" "$prefix.rep")
  echo "$(field marks "$m" | tr ',' '\n' | awk 'NR > 1 { print $1 - prev } { prev = $1 }' | sort -g |
          awk '{ v[NR] = $1 } END { printf "%.4f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }') \
        $(field max_rss_kib "$m") $(( $(grep -c '^ ALPHA' "$prefix.trace") - 5 ))"
}

# self_start PREFIX MODEL -> "seconds rss" of the fastest of REPEATS starter
# runs on the preparer's records, then "outcome iterations tolerance" of the
# estimator (2 threads) from the starter's values.
self_start() {
  local prefix=$1 model=$2 m seconds="" rss=0
  for _ in $(seq "$repeats"); do
    cp "$prefix.start" "$prefix.self.loc"
    rm -f "$prefix.self.ctl"
    m=$("$B/bench/measure" /dev/null /dev/null -- "$B/starter" "$prefix.dat" "$prefix.self.loc" "$prefix.self.ctl" \
        --model "$model" 2>/dev/null)
    seconds=$(min "$(field seconds "$m")" "$seconds"); [ "$(field max_rss_kib "$m")" -gt "$rss" ] && rss=$(field max_rss_kib "$m")
  done
  if [ ! -f "$prefix.self.ctl" ]; then
    # Refused: the reason is the number of plots whose locals run away.
    echo "$seconds $rss starter_refused:_$(($(wc -l < "$prefix.self.ctl.runaway.csv") - 1))_plots_run_away - -"
    return
  fi
  "$B/estimator" "$prefix.self.ctl" "$prefix.dat" "$prefix.self.loc" "$prefix.self.rep" --threads 2 \
    --json "$prefix.self.json" > /dev/null
  echo "$seconds $rss $(sed -n 's/^  "outcome": "\(.*\)",$/\1/p' "$prefix.self.json" | tr ' ' '_') \
    $(sed -n 's/^  "iterations": \(.*\),$/\1/p' "$prefix.self.json") $(sed -n 4p "$prefix.self.ctl" | awk '{ print $3 }')"
}

results=()
self_results=()
for model in 1 13; do
  for np in "${sizes[@]}"; do
    prefix=$work/m${model}_$np
    if [ "$model" = 1 ]; then
      "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model 1 --globals 0.15,0.7,0.2,0.05 \
        --locals 3.0:0.4 --measurements 10 --seed 7
    else
      "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model 13 --globals 0.7,0.2,0.05 \
        --locals 3.0:0.4,0.15:0.02 --measurements 10 --seed 7
    fi
    prep=$("$B/bench/measure" "$prefix.answers" "$prefix.prep" -- "$B/preparer" "$prefix.txt" "$prefix.dat" "$prefix.loc")
    lines=$(wc -l < "$prefix.txt")
    prep_rate=$(awk -v l="$lines" -v s="$(field seconds "$prep")" 'BEGIN { printf "%.0f", l / s }')
    # The preparer's records (locals at their means, globals at the truth) are
    # the start: its first iterations take one trial pass each.
    cp "$prefix.loc" "$prefix.start"
    # Floor and estimator runs alternate, and the fastest of each counts: the
    # machine is shared and its speed varies by a quarter from run to run.
    floor="" ; t1="" ; t2="" ; rss1=0 ; rss2=0 ; extra1=0 ; extra2=0
    for _ in $(seq "$repeats"); do
      floor=$(min "$("$B/bench/floor" "$prefix.ctl" "$prefix.dat" "$prefix.start" 2 2>/dev/null)" "$floor")
      read -r s rss extra1 < <(fit_once "$prefix" 1)
      t1=$(min "$s" "$t1"); [ "$rss" -gt "$rss1" ] && rss1=$rss
      read -r s rss extra2 < <(fit_once "$prefix" 2)
      t2=$(min "$s" "$t2"); [ "$rss" -gt "$rss2" ] && rss2=$rss
    done
    ratio1=$(awk -v p="$t1" -v f="$floor" 'BEGIN { printf "%.2f", p / f }')
    ratio2=$(awk -v p="$t2" -v f="$floor" 'BEGIN { printf "%.2f", p / f }')
    speedup=$(awk -v a="$t1" -v b="$t2" 'BEGIN { printf "%.2f", a / b }')
    read -r st_s st_rss st_outcome st_its st_tol < <(self_start "$prefix" "$model")
    st_ratio=$(awk -v s="$st_s" -v t="$t1" 'BEGIN { printf "%.2f", s / t }')
    self_row="| $model | $np | $st_s | $((st_rss / 1024)) MiB | $t1 | $st_ratio | $st_tol | ${st_outcome//_/ } | $st_its |"
    self_results+=("$self_row")
    echo "$self_row"
    row="| $model | $np | $lines | $prep_rate | $floor | $t1 | $ratio1 | $((rss1 / 1024)) MiB | $extra1 | $t2 | $ratio2 | $((rss2 / 1024)) MiB | $extra2 | $speedup"
    results+=("$row |")
    echo "$row |"
    rm -f "$prefix".*
  done
done

# This script's sections replace their earlier runs in bench/RESULTS.md; the
# sections of the other scripts (projector, random locals, ...) and any text
# between them are kept (bench/put-section.py).
{
  echo "# Benchmark results"
  echo
  echo "Produced by \`bench/run-benchmarks.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo
  echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB memory, $(uname -sr)."
  echo
  echo "Data simulated by \`bench/simulate\`: 10 measurements per plot; model 1 (local asymptote) and model 13"
  echo "(local asymptote and rate). Timed runs start from the preparer's records (locals at their means,"
  echo "globals at the truth), where each iteration is one trial pass, one derivative pass and one step pass."
  echo
  echo "- s/iter: seconds per estimator iteration (median gap between consecutive iteration summaries of a"
  echo "  5-iteration run), with 1 and 2 threads; floor and estimator runs alternate and the fastest of $repeats counts"
  echo "  (the machine is shared and its speed varies by about a quarter from run to run);"
  echo "- floor: the same iteration's arithmetic with every plot in memory, no file I/O, one thread (\`bench/floor\`);"
  echo "- ratio: s/iter over the floor; RSS: peak resident memory of the 5-iteration run;"
  echo "- extra trials: trial passes beyond one per iteration (step halvings) in the 5 iterations;"
  echo "- speed-up: 1-thread s/iter over 2-thread s/iter;"
  echo "- preparer: raw lines per second."
  echo
  echo "| model | plots | raw lines | preparer lines/s | floor s/iter | 1 thread s/iter | ratio | RSS | extra trials | 2 threads s/iter | ratio | RSS | extra trials | speed-up |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${results[@]}"
  echo
  echo "## Self-start"
  echo
  echo "\`starter\` on the same data and the preparer's records (one thread), next to one estimator iteration:"
  echo
  echo "- starter s: wall time of the starter (check of the plot files, fit of the globals on a sample of 2000"
  echo "  plots, every plot's locals written), the fastest of $repeats; RSS: its peak resident memory;"
  echo "- ratio: starter seconds over the 1-thread seconds of one estimator iteration;"
  echo "- then the estimator from the starter's values with the starter's tolerance (2 threads): outcome and"
  echo "  iterations (the summaries on the console, iteration 0 included)."
  echo
  echo "| model | plots | starter s | RSS | 1 thread s/iter | ratio | tolerance | outcome | iterations |"
  echo "|---|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${self_results[@]}"
} > "$work/benchmarks.md"
bench/put-section.py bench/RESULTS.md benchmarks "$work/benchmarks.md"
echo "written bench/RESULTS.md"

# ---------------------------------------------------------------- likelihood kernels
# The likelihood kernels beside commit 24c438e, the last commit before them,
# built in the same run: kernels per measurement, seconds per iteration and
# peak memory of models 1, 4 and 13, final estimates of fits of five models.
bench/against-commit.sh 24c438e "${sizes[@]}" | grep -v '^<!-- /\?likelihood kernels -->$' > "$work/kernels.md"
bench/put-section.py bench/RESULTS.md "likelihood kernels" "$work/kernels.md"
echo "written the likelihood kernels against 24c438e into bench/RESULTS.md"
