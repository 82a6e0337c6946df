#!/usr/bin/env bash
# Fixed against random locals over replications: REPS data sets simulated by
# bench/simulate from one model (PLOTS plots of 10 measurements each, seeds 1
# to REPS), each fitted
#   - with fixed locals, from the simulation's start (the true globals, the
#     locals at their mean), and
#   - with random locals (Laplace, or adaptive Gauss-Hermite quadrature of K
#     nodes per local), from the fixed-locals estimates (globals and
#     local-parameter file),
# both with iteration limit 100 and tolerance 1e-6. Prints one row per
# parameter: the truth, the mean of the estimates with fixed and with random
# locals, the standard deviation of the random-locals estimates over the
# replications, the mean of their standard errors, their ratio, and the mean
# of the random-locals fit's outer iterations. With fixed locals the population's
# mean and deviation are those of the plots' estimated locals.
#
#   bench/random-locals-study.sh [MODEL] [REPS] [PLOTS] [K]    (default model 1, 20, 5000, 1)
#
# MODEL is 1 (globals b, c, sigma_p, sigma_e = 0.15, 0.7, 0.2, 0.05; asymptotes
# 3.0:0.4) or 13 (c, sigma_p, sigma_e = 0.7, 0.2, 0.05; asymptotes 3.0:0.4,
# rates 0.25:0.04). BENCH_BUILD names a build to use instead of building
# build-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
model=${1:-1}
reps=${2:-20}
plots=${3:-5000}
nodes=${4:-1}
source bench/common.sh
bench_setup rlstudy

random_locals_truth "$model" || exit 2
for seed in $(seq 1 "$reps"); do
  random_locals_replication "$work/r$seed" "$model" "$seed" "$plots" "$nodes"
  rm "$work/r$seed.txt" "$work/r$seed.dat"
done

python3 - "$work" "$reps" "$globals" "$locals" <<'EOF'
import csv, json, math, statistics, sys
work, reps = sys.argv[1], int(sys.argv[2])
truth = [float(x) for x in sys.argv[3].split(",")]
spreads = [tuple(float(v) for v in l.split(":")) for l in sys.argv[4].split(",")]
nl = len(spreads)
truth += [m for m, _ in spreads] + [s for _, s in spreads] + ([0.0] if nl == 2 else [])
fixed, random, se, iterations, names = [], [], [], [], None
for r in range(1, reps + 1):
    f = json.load(open(f"{work}/r{r}.fixed.json"))
    g = json.load(open(f"{work}/r{r}.random.json"))
    assert g["outcome"] == "converged", f"replication {r}: {g['outcome']}"
    names = g["globals"]["names"] + g["population"]["names"]
    rows = list(csv.DictReader(open(f"{work}/r{r}.fixed.csv")))
    local = [[float(row[n]) for row in rows] for n in f["model"]["locals"]]
    pop = [statistics.mean(v) for v in local] + [statistics.stdev(v) for v in local]
    if nl == 2:
        pop.append(statistics.correlation(local[0], local[1]))
    fixed.append(f["globals"]["estimates"] + pop)
    random.append(g["globals"]["estimates"] + g["population"]["estimates"])
    se.append(g["globals"]["standard_errors"] + g["population"]["standard_errors"])
    iterations.append(g["iterations"])
# The SD over R replications is known to about 1 / sqrt(2 (R - 1)) of itself:
# the last column's interval is the ratio times 1 -+ twice that.
spread = 1.0 / math.sqrt(2.0 * (reps - 1))
print(f"| parameter | truth | mean, fixed locals | mean, random locals | SD over {reps} reps | mean SE | "
      "random - truth, in SEs of the mean | mean SE / SD (95 % interval) |")
print("|---|---|---|---|---|---|---|---|")
for i, name in enumerate(names):
    col = [x[i] for x in random]
    mean, sd = statistics.mean(col), statistics.stdev(col)
    z = (mean - truth[i]) / (sd / math.sqrt(reps))
    mean_se = statistics.mean(x[i] for x in se)
    ratio = mean_se / sd
    print(f"| {name} | {truth[i]:g} | {statistics.mean(x[i] for x in fixed):.4f} | {mean:.4f} | {sd:.5f} | "
          f"{mean_se:.5f} | {z:+.1f} | {ratio:.2f} ({ratio * (1 - 2 * spread):.2f} to {ratio * (1 + 2 * spread):.2f}) |")
print(f"\nouter iterations of the random-locals fits: mean {statistics.mean(iterations):.1f}, "
      f"max {max(iterations)} (counted from 1, the start included)")
EOF
