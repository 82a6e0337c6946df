#!/usr/bin/env bash
# The estimator side by side with an earlier commit, built beside it in the
# same run: the cost of the likelihood kernels per measurement, the seconds
# per iteration and the peak memory at several plot counts for models 1, 4
# and 13, and the final objective and globals of fits of models 1, 4, 9, 13
# and 18. Old and new runs alternate and the fastest of REPEATS (default 5)
# counts: the machine is shared and its speed varies from run to run. Prints
# a Markdown section on standard output.
#
#   bench/against-commit.sh REVISION [PLOT COUNTS...]   (default: 1000 10000 100000 1000000)
#
# The earlier commit is exported with git archive and built under the scratch
# directory, with its benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
rev=$1
shift
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1000 10000 100000 1000000)
repeats=${REPEATS:-5}

source bench/common.sh
bench_setup against
git archive "$rev" | tar -x -C "$work" --one-top-level=old
cmake -S "$work/old" -B "$work/old-build" -DCMAKE_BUILD_TYPE=Release -DGROWTH_BENCH=ON -DGROWTH_TESTS=OFF >/dev/null
cmake --build "$work/old-build" --parallel 2 >/dev/null
O=$work/old-build

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# ------------------------------------------------------------ kernels
# name -> fastest ns per measurement over the repeats, for each build.
declare -A old_ns new_ns
bench_ns() {  # BINARY FILTER -> "name ns" lines
  "$1" --benchmark_filter="$2" --benchmark_format=csv 2>/dev/null |
    awk -F, 'NR > 1 { gsub(/"/, "", $1); printf "%s %.2f\n", $1, $NF * 1e9 }'
}
for _ in $(seq "$repeats"); do
  while read -r name ns; do old_ns[$name]=$(min "$ns" "${old_ns[$name]:-}"); done < <(bench_ns "$O/bench/likelihood_bench" '^BM_')
  while read -r name ns; do new_ns[$name]=$(min "$ns" "${new_ns[$name]:-}"); done < <(bench_ns "$B/bench/likelihood_bench" '.')
done
new_or_dash() { [ -n "${new_ns[$1]:-}" ] && echo "${new_ns[$1]}" || echo "-"; }
kernel_rows=()
for n in 1 10 99; do
  kernel_rows+=("| objective (funct) | any | $n | ${old_ns[BM_funct/$n]} | $(new_or_dash kernel_funct/plain/$n) | $(new_or_dash kernel_funct/avx2/$n) | $(ratio "${old_ns[BM_funct/$n]}" "$(new_or_dash kernel_funct/avx2/$n)") |")
  for model in 1 4 13; do
    kernel_rows+=("| derivatives (ders) | $model | $n | ${old_ns[BM_ders/$n]} | $(new_or_dash kernel_ders/plain/model:$model/$n) | $(new_or_dash kernel_ders/avx2/model:$model/$n) | $(ratio "${old_ns[BM_ders/$n]}" "$(new_or_dash kernel_ders/avx2/model:$model/$n)") |")
  done
done
pass_rows=()
for model in 1 4 13; do
  pass_rows+=("| $model | ${new_ns[pass_trial/model:$model/10]} | ${new_ns[pass_derivative/model:$model/10]} | ${new_ns[pass_step/model:$model/10]} |")
done

# ------------------------------------------------------------ iterations
simulate() {  # PREFIX MODEL PLOTS [EXTRA SIMULATE OPTIONS]
  local prefix=$1 model=$2 np=$3
  shift 3
  case $model in
    1) "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model 1 --globals 0.15,0.7,0.2,0.05 --locals 3.0:0.4 "$@" ;;
    4) "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model 4 --globals 0.15,0.7,0.05,0.2,0.05 --locals 3.0:0.4 "$@" ;;
    9) "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model 9 --globals 3.0,0.7,0.05,0.2,0.05 --locals 0.15:0.03 "$@" ;;
    13) "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model 13 --globals 0.7,0.2,0.05 --locals 3.0:0.4,0.15:0.02 "$@" ;;
    18) "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model 18 --globals 0.7,0.2,0.05 --locals 3.0:0.4,0.15:0.03 \
          --k1 1 --k2 10 "$@" ;;
  esac
  "$B/preparer" "$prefix.txt" "$prefix.dat" "$prefix.start" < "$prefix.answers" > /dev/null
}

# fit_once ESTIMATOR PREFIX THREADS -> "seconds-per-iteration rss-kib" for a
# run of 5 iterations from the preparer's records: the median gap between the
# arrivals of consecutive iteration summaries on the console.
fit_once() {
  local est=$1 prefix=$2 threads=$3 m
  sed "4s/.*/0 4 0/" "$prefix.ctl" > "$prefix.run.ctl"
  cp "$prefix.start" "$prefix.loc"
  m=$(ESTIMATOR_THREADS=$threads "$B/bench/measure" --mark "  ITER." /dev/null "$prefix.trace" -- \
      "$est" "$prefix.run.ctl" "$prefix.dat" "$prefix.loc" "$prefix.rep")
  echo "$(field marks "$m" | tr ',' '\n' | awk 'NR > 1 { print $1 - prev } { prev = $1 }' |
          sort -g | awk '{ v[NR] = $1 } END { printf "%.4f", v[int((NR + 1) / 2)] }') $(field max_rss_kib "$m")"
}

iteration_rows=()
for model in 1 4 13; do
  for np in "${sizes[@]}"; do
    prefix=$work/m${model}_$np
    simulate "$prefix" "$model" "$np" --measurements 10 --seed 7
    t_old="" ; t_new="" ; rss_old=0 ; rss_new=0
    for _ in $(seq "$repeats"); do
      read -r s rss < <(fit_once "$O/estimator" "$prefix" 2)
      t_old=$(min "$s" "$t_old"); [ "$rss" -gt "$rss_old" ] && rss_old=$rss
      read -r s rss < <(fit_once "$B/estimator" "$prefix" 2)
      t_new=$(min "$s" "$t_new"); [ "$rss" -gt "$rss_new" ] && rss_new=$rss
    done
    row="| $model | $np | $t_old | $t_new | $(ratio "$t_old" "$t_new") | $((rss_old / 1024)) MiB | $((rss_new / 1024)) MiB |"
    iteration_rows+=("$row")
    echo "$row" >&2
    rm -f "$prefix".*
  done
done

# ------------------------------------------------------------ same estimates
last_values() {  # TRACE -> "FUNCT globals..." of the last iteration summary
  sed 's/\([0-9]\)-/\1 -/g' "$1" |
    awk '/FUNCT\.=/ { f = $4 } /GLOBAL PARMS\.:/ { g = $0; sub(/.*GLOBAL PARMS\.: */, "", g) } END { print f, g }'
}
largest_difference() {  # "a1 a2 ..." "b1 b2 ..." -> largest relative difference
  awk -v a="$1" -v b="$2" 'BEGIN { n = split(a, x, " "); split(b, y, " "); w = 0
    for (i = 1; i <= n; ++i) { d = x[i] - y[i]; d = d < 0 ? -d : d; s = x[i] < 0 ? -x[i] : x[i]; r = s > 0 ? d / s : d; if (r > w) w = r }
    printf "%.2g", w }'
}
estimate_rows=()
for model in 1 4 9 13 18; do
  prefix=$work/fit$model
  simulate "$prefix" "$model" 2000 --measurements 8 --seed 11 --itlim 50 --mfreq 250
  cp "$prefix.start" "$prefix.loc"
  ESTIMATOR_THREADS=1 "$O/estimator" "$prefix.ctl" "$prefix.dat" "$prefix.loc" "$prefix.rep" > "$prefix.old"
  same=yes
  for threads in 1 2 3; do
    cp "$prefix.start" "$prefix.loc"
    ESTIMATOR_THREADS=$threads "$B/estimator" "$prefix.ctl" "$prefix.dat" "$prefix.loc" "$prefix.rep" > "$prefix.new$threads"
    cmp -s "$prefix.new1" "$prefix.new$threads" || same=no
  done
  read -r f_old g_old <<<"$(last_values "$prefix.old")"
  read -r f_new g_new <<<"$(last_values "$prefix.new1")"
  estimate_rows+=("| $model | $(grep -c 'FUNCT\.=' "$prefix.old") | $(grep -c 'FUNCT\.=' "$prefix.new1") | $f_old | $f_new | $(largest_difference "$f_old" "$f_new") | $(largest_difference "$g_old" "$g_new") | $same |")
  rm -f "$prefix".*
done

# ------------------------------------------------------------ report
cat <<EOF
<!-- likelihood kernels -->
## Likelihood kernels against commit $rev

Produced by \`bench/against-commit.sh $rev ${sizes[*]}\` (REPEATS=$repeats) on $(date -u '+%Y-%m-%d %H:%M UTC'),
with $rev exported and built beside this tree; old and new runs alternate and the fastest counts.

Cost per measurement in ns (google-benchmark, plots of n measurements): $rev evaluates one plot at a time
with every derivative; this tree evaluates blocks of 256 plots on the plain path and four plots at a time
on the AVX2 path, with the derivatives of the model's moved curve parameters only. Ratio: $rev over AVX2.

| kernel | model | n | $rev | plain | AVX2 | ratio |
|---|---|---|---|---|---|---|
$(printf '%s\n' "${kernel_rows[@]}")

The optimiser's per-plot kernels in this tree, ns per measurement (n = 10, blocks of 256 plots, groups of
four): trial = trpars and the objective; derivative = trpars, derivatives, trders, the local block's
factor and the plot's share of the global system; step = the local step.

| model | trial | derivative | step |
|---|---|---|---|
$(printf '%s\n' "${pass_rows[@]}")

Seconds per iteration with two threads (median gap between the iteration summaries of a 5-iteration run
from the preparer's records, 10 measurements per plot) and peak resident memory:

| model | plots | $rev s/iter | this s/iter | ratio | $rev RSS | this RSS |
|---|---|---|---|---|---|---|
$(printf '%s\n' "${iteration_rows[@]}")

Fits to convergence (2000 simulated plots of 8 measurements, iteration limit 50): iteration summaries,
the last FUNCT. of each, the largest relative difference of the last FUNCT. and of the last globals (as
printed), and whether this tree's traces with 1, 2 and 3 threads are byte-identical:

| model | $rev summaries | this summaries | $rev FUNCT. | this FUNCT. | FUNCT. difference | globals difference | 1, 2, 3 threads identical |
|---|---|---|---|---|---|---|---|
$(printf '%s\n' "${estimate_rows[@]}")
<!-- /likelihood kernels -->
EOF
