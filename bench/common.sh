# Shared by the benchmark scripts (sourced from the repository's top): builds
# the programs and benchmarks in build-bench, makes a scratch directory that
# is removed on exit, and defines the small helpers.
#   bench_setup NAME    sets B (the build) and work (the scratch directory);
#                       with BENCH_BUILD set, B is that build, used as it is
bench_setup() {
  if [[ -n ${BENCH_BUILD:-} ]]; then
    B=$(cd "$BENCH_BUILD" && pwd)
  else
    scripts/install-deps.sh test
    cmake --preset bench >/dev/null
    cmake --build --preset bench >/dev/null
    B=$PWD/build-bench
  fi
  work=$(mktemp -d "${TMPDIR:-/tmp}/growthfit-$1-XXXXXX")
  trap 'rm -rf "$work"' EXIT
}

# field NAME "k=v k=v ...": the value of NAME in a line of bench/measure.
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<<"$2"; }

# min A B: the smaller of two numbers, B may be empty.
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

# True parameters of each model, in the scaled units of the data file (ages 1
# to about 24, asymptotes near 3): globals, then each local's mean:sd.
simulation_truth() {
  case $1 in
    1|14) echo "0.15,0.7,0.2,0.05 3.0:0.4" ;;
    2) echo "0.15,0.7,0.2,0.05,0.5 3.0:0.4" ;;
    3) echo "0.15,0.7,0.2,0.05,0.3 3.0:0.4" ;;
    4) echo "0.15,0.7,0.1,0.2,0.05 3.0:0.4" ;;
    5) echo "0.15,0.7,0.1,0.2,0.05,0.5 3.0:0.4" ;;
    6|15) echo "3.0,0.7,0.2,0.05 0.15:0.03" ;;
    7) echo "3.0,0.7,0.2,0.05,0.5 0.15:0.03" ;;
    8) echo "3.0,0.7,0.2,0.05,0.3 0.15:0.03" ;;
    9) echo "3.0,0.7,0.1,0.2,0.05 0.15:0.03" ;;
    10) echo "3.0,0.7,0.1,0.2,0.05,0.5 0.15:0.03" ;;
    11|16) echo "2.0,6.0,0.7,0.2,0.05 0.15:0.03" ;;
    12|17) echo "6.0,0.4,0.7,0.2,0.05 0.15:0.03" ;;
    13|18) echo "0.7,0.2,0.05 3.0:0.4,0.25:0.04" ;;
  esac
}

# random_locals_replication P MODEL SEED PLOTS K: data set P (P.txt, P.dat,
# P.loc) simulated from MODEL (1 or 13, the truths of
# bench/random-locals-study.sh) with 10 measurements per plot, fitted with
# fixed locals from the simulation's start (P.fixed.json, P.fixed.csv), then
# with random locals and K nodes per local from the fixed-locals estimates
# (the globals, and the local-parameter file for the population; P.random.json).
random_locals_truth() {
  case $1 in
    1|13) read -r globals locals <<<"$(simulation_truth "$1")" ;;
    *) echo "$(basename "$0" .sh): model 1 or 13, not $1" >&2; return 2 ;;
  esac
}
random_locals_replication() {
  local p=$1 globals locals
  random_locals_truth "$2" || return
  "$B/bench/simulate" --prefix "$p" --plots "$4" --model "$2" --globals "$globals" --locals "$locals" \
    --measurements 10 --seed "$3" --itlim 100 --tol 1e-6
  "$B/preparer" "$p.txt" "$p.dat" "$p.loc" < "$p.answers" > /dev/null
  "$B/estimator" "$p.ctl" "$p.dat" "$p.loc" "$p.fixed.rep" --json "$p.fixed.json" --plots "$p.fixed.csv" > /dev/null
  # The random-locals fit starts from the fixed-locals globals (line 5 of the control file).
  python3 - "$p.ctl" "$p.fixed.json" "$p.random.ctl" <<'PY'
import json, sys
lines = open(sys.argv[1]).read().split("\n")
lines[4] = " ".join(repr(x) for x in json.load(open(sys.argv[2]))["globals"]["estimates"])
open(sys.argv[3], "w").write("\n".join(lines))
PY
  "$B/estimator" "$p.random.ctl" "$p.dat" "$p.loc" "$p.random.rep" --random-locals --quadrature "$5" \
    --json "$p.random.json" > /dev/null
}
