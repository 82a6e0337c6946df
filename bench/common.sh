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
