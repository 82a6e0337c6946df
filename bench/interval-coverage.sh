#!/usr/bin/env bash
# Coverage of held-out true heights by the projector's 90% intervals: plug-in
# against full (--intervals full), for a fixed-locals and a random-locals fit
# of the same data. bench/simulate draws PLOTS plots of 10 measurements (ages
# 1 + offset + 2i, i = 0..9, offsets 0 to 1.5: the last measurement at 19 to
# 20.5) with the true heights at the truth ages 12.25 (among the measurements),
# 24, 29 and 34 (up to 15 beyond the last measurement); the estimator fits them
# with fixed locals from the simulation's start and with random locals
# (Laplace) from the fixed-locals estimates, and the projector writes the
# intervals of each fit both ways. Prints one row per fit and kind of interval
# and one column per truth age: the share of the true heights inside, and the
# fits' sigma_p.
#
#   bench/interval-coverage.sh [MODEL] [PLOTS] [SEED]    (default model 4, 2000 plots, seed 7)
#
# MODEL 4: globals b, c, sigma0, sigma_p, sigma_e = 0.15, 0.7, 0.05, 0.2, 0.05,
# asymptotes 3.0:0.4 (as tests/projector_program_test.cpp); MODEL 13: c,
# sigma_p, sigma_e = 0.7, 0.2, 0.05, asymptotes 3.0:0.4, rates 0.25:0.04. With
# 0.9 coverage and 2000 plots a share has a binomial standard error of 0.0067.
# BENCH_BUILD names a build to use instead of building build-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
model=${1:-4}
plots=${2:-2000}
seed=${3:-7}
source bench/common.sh
bench_setup coverage

case $model in
  4) globals=0.15,0.7,0.05,0.2,0.05 locals=3.0:0.4 ;;
  13) globals=0.7,0.2,0.05 locals=3.0:0.4,0.25:0.04 ;;
  *) echo "interval-coverage: model 4 or 13, not $model" >&2; exit 2 ;;
esac
ages=12.25,24,29,34
p=$work/sim
"$B/bench/simulate" --prefix "$p" --plots "$plots" --model "$model" --globals "$globals" --locals "$locals" \
  --measurements 10 --seed "$seed" --itlim 100 --tol 1e-6 --truth-ages "$ages"
"$B/preparer" "$p.txt" "$p.dat" "$p.loc" < "$p.answers" > /dev/null
cp "$p.loc" "$p.fixed.loc"
"$B/estimator" "$p.ctl" "$p.dat" "$p.fixed.loc" "$p.fixed.rep" --json "$p.fixed.json" > /dev/null
# The random-locals fit starts from the fixed-locals globals (line 5 of the control file) and locals.
python3 - "$p.ctl" "$p.fixed.json" "$p.random.ctl" <<'PY'
import json, sys
lines = open(sys.argv[1]).read().split("\n")
lines[4] = " ".join(repr(x) for x in json.load(open(sys.argv[2]))["globals"]["estimates"])
open(sys.argv[3], "w").write("\n".join(lines))
PY
cp "$p.fixed.loc" "$p.random.loc"
"$B/estimator" "$p.random.ctl" "$p.dat" "$p.random.loc" "$p.random.rep" --random-locals --json "$p.random.json" \
  > /dev/null
for fit in fixed random; do
  for kind in plug-in full; do
    start=$(date +%s.%N)
    "$B/projector" "$p.$fit.json" "$p.dat" "$p.$fit.loc" --ages "$ages" --level 0.9 --intervals "$kind" \
      --projections "$work/$fit.$kind.csv"
    echo "$fit $kind: $(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }') s" >&2
  done
done

python3 - "$work" "$p.truth" "$ages" "$model" "$plots" <<'PY'
import csv, json, sys
work, truth_file, ages, model, plots = sys.argv[1], sys.argv[2], sys.argv[3].split(","), sys.argv[4], sys.argv[5]
truth = [line.split() for line in open(truth_file)]
def coverage(path):
    rows = list(csv.reader(open(path)))
    head, rows = rows[0], rows[1:]
    lo = head.index([h for h in head if h.startswith("lower")][0])
    hi = head.index([h for h in head if h.startswith("upper")][0])
    assert len(rows) == len(truth), (path, len(rows), len(truth))
    inside = {}
    for row, (ident, age, height) in zip(rows, truth):
        assert row[1] == ident and float(row[2]) == float(age), (row, ident, age)
        h = float(height)
        inside.setdefault(age, []).append(float(row[lo]) <= h <= float(row[hi]))
    return [sum(v) / len(v) for v in inside.values()]
sp = {f: json.load(open(f"{work}/sim.{f}.json"))["globals"] for f in ("fixed", "random")}
print(f"model {model}, {plots} plots, true sigma_p 0.2; 90% intervals for the true heights at ages {', '.join(ages)}")
print()
print("| fit | intervals | sigma_p | " + " | ".join(f"age {a}" for a in ages) + " |")
print("|---|---|---|" + "---|" * len(ages))
for fit in ("fixed", "random"):
    g = sp[fit]
    s = g["estimates"][g["names"].index("sigma_p")]
    for kind in ("plug-in", "full"):
        shares = coverage(f"{work}/{fit}.{kind}.csv")
        print(f"| {fit} locals | {kind} | {s:.4f} | " + " | ".join(f"{x:.3f}" for x in shares) + " |")
PY
