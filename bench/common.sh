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
