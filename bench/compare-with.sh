#!/usr/bin/env bash
# Seconds per estimator iteration of this tree against an earlier commit,
# built beside it and run in the same session, runs alternating (the machine
# is shared and its speed drifts), the fastest of REPEATS (default 5) counting.
#
#   bench/compare-with.sh REV [PLOTS] [MODELS]      (defaults: 100000, "1 13")
#
# Prints one line per model and thread count: old s/iter, new s/iter, old/new.
set -euo pipefail
cd "$(dirname "$0")/.."
rev=$1
np=${2:-100000}
models=${3:-1 13}
repeats=${REPEATS:-5}

source bench/common.sh
bench_setup compare
git archive "$rev" | tar -x -C "$work" --one-top-level=old
cmake -S "$work/old" -B "$work/old-build" -DCMAKE_BUILD_TYPE=Release -DGROWTH_TESTS=OFF >/dev/null
cmake --build "$work/old-build" --parallel 2 --target estimator >/dev/null


# per_iteration ESTIMATOR PREFIX THREADS: the median gap between iteration
# summaries of a 5-iteration run.
per_iteration() {
  local m
  cp "$2.start" "$2.loc"
  m=$(ESTIMATOR_THREADS=$3 "$B/bench/measure" --mark "  ITER." /dev/null "$2.trace" -- \
      "$1" "$2.run.ctl" "$2.dat" "$2.loc" "$2.rep")
  field marks "$m" | tr ',' '\n' | awk 'NR > 1 { print $1 - prev } { prev = $1 }' | sort -g |
    awk '{ v[NR] = $1 } END { printf "%.4f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "| model | plots | threads | $rev s/iter | this tree s/iter | old/new |"
echo "|---|---|---|---|---|---|"
for model in $models; do
  prefix=$work/m$model
  case $model in
    1) "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model 1 --globals 0.15,0.7,0.2,0.05 --locals 3.0:0.4 --seed 7 ;;
    4) "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model 4 --globals 0.15,0.7,0.05,0.2,0.05 --locals 3.0:0.4 --seed 7 ;;
    13) "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model 13 --globals 0.7,0.2,0.05 --locals 3.0:0.4,0.15:0.02 --seed 7 ;;
    *) echo "no settings for model $model" >&2; exit 2 ;;
  esac
  "$B/preparer" "$prefix.txt" "$prefix.dat" "$prefix.start" < "$prefix.answers" > /dev/null
  sed "4s/.*/0 4 0/" "$prefix.ctl" > "$prefix.run.ctl"
  for threads in 1 2; do
    old="" ; new=""
    for _ in $(seq "$repeats"); do
      old=$(min "$(per_iteration "$work/old-build/estimator" "$prefix" "$threads")" "$old")
      new=$(min "$(per_iteration "$B/estimator" "$prefix" "$threads")" "$new")
    done
    echo "| $model | $np | $threads | $old | $new | $(awk -v a="$old" -v b="$new" 'BEGIN { printf "%.2f", a / b }') |"
  done
done
