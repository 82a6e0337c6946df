#!/usr/bin/env bash
# The estimator's instruction count against an earlier commit's, counted by
# valgrind's callgrind: unlike seconds, the count does not depend on what else
# the machine is doing, so small differences (a percent) can be told apart on
# a shared machine. For each model and plot count: data simulated by
# bench/simulate (10 measurements per plot, seed 7), 4 iterations on one
# thread from the preparer's records, by the old and the new estimator; the
# report and the local-parameter file of the two must be the same bytes.
# Prints a Markdown table on standard output.
#
#   bench/instructions-against-commit.sh REVISION [PLOT COUNTS...]   (default: 10000)
#
# MODELS (default "1 4 13") chooses the models. The earlier commit is exported
# with git archive and built under the scratch directory.
set -euo pipefail
cd "$(dirname "$0")/.."
rev=$1
shift
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(10000)
command -v valgrind >/dev/null || { echo "instructions-against-commit.sh: valgrind is needed" >&2; exit 2; }

source bench/common.sh
bench_setup instructions
git archive "$rev" | tar -x -C "$work" --one-top-level=old
cmake -S "$work/old" -B "$work/old-build" -DCMAKE_BUILD_TYPE=Release -DGROWTH_TESTS=OFF >/dev/null
cmake --build "$work/old-build" --parallel 2 --target estimator >/dev/null

# instructions ESTIMATOR PREFIX NAME -> the run's instruction count
instructions() {
  cp "$2.start" "$2.$3.loc"
  ESTIMATOR_THREADS=1 valgrind --tool=callgrind --callgrind-out-file="$2.$3.cg" \
    "$1" "$2.run.ctl" "$2.dat" "$2.$3.loc" "$2.$3.rep" >/dev/null 2>"$2.$3.vg"
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$2.$3.vg"
}

echo "| model | plots | instructions, $rev | instructions, $(git rev-parse --short HEAD) | new / old | same bytes |"
echo "|---|---|---|---|---|---|"
for model in ${MODELS:-1 4 13}; do
  read -r globals locals <<<"$(simulation_truth "$model")"
  for np in "${sizes[@]}"; do
    prefix=$work/m${model}_$np
    "$B/bench/simulate" --prefix "$prefix" --plots "$np" --model "$model" --globals "$globals" --locals "$locals" \
      --measurements 10 --seed 7 >/dev/null
    "$B/preparer" "$prefix.txt" "$prefix.dat" "$prefix.start" <"$prefix.answers" >/dev/null
    sed "4s/.*/0 4 0/" "$prefix.ctl" >"$prefix.run.ctl"
    old=$(instructions "$work/old-build/estimator" "$prefix" old)
    new=$(instructions "$B/estimator" "$prefix" new)
    same=no
    cmp -s "$prefix.old.rep" "$prefix.new.rep" && cmp -s "$prefix.old.loc" "$prefix.new.loc" && same=yes
    echo "| $model | $np | $old | $new | $(awk -v a="$new" -v b="$old" 'BEGIN { printf "%.4f", a / b }') | $same |"
    rm -f "$prefix".*
  done
done
