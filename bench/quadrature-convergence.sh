#!/usr/bin/env bash
# How the random-locals objective converges with the nodes per local: one data
# set of bench/random-locals-study.sh (MODEL, SEED, PLOTS), fitted with K
# nodes per local, and at those estimates every plot's marginal term summed for
# 1 to 20 nodes per local (bench/quadrature_convergence): the table, one row
# per number of nodes, against 20.
#
#   bench/quadrature-convergence.sh [MODEL] [SEED] [PLOTS] [K]    (default 13, 1, 5000, 1)
#
# BENCH_BUILD names a build to use instead of building build-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
bench_setup quadrature
random_locals_replication "$work/r" "${1:-13}" "${2:-1}" "${3:-5000}" "${4:-1}"
"$B/bench/quadrature_convergence" "$work/r.dat" "$work/r.random.json"
