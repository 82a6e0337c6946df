#!/usr/bin/env bash
# Builds the libFuzzer targets in the sanitizers' tree (clang, address and
# undefined-behaviour sanitizers; build-tests/sanitize, shared with the test
# suite) and runs each for a bounded time on its seed corpus.
#
#   scripts/run-fuzzers.sh [SECONDS-PER-TARGET] [TARGET...]   (default 60, every target)
#
# The test command runs each target for a few seconds; for long fuzzing give
# more, e.g. `scripts/run-fuzzers.sh 3600` (an hour each). Each target first
# replays the inputs of fuzz/regressions/ named after it (inputs that once
# crashed or hung). New inputs go to a scratch corpus; a crash or a timeout
# leaves its input in build-tests/sanitize/findings/ and ends the script with a
# failure. Every target ends with one line: its verdict, executions,
# coverage (edges) and features.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
scripts/install-deps.sh test
all=(free_form_reader format estimator_control plot_files preparer results_json projector_options command_lines
     data_metadata new_data estimator_options random_new_data)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all[@]}"); fi
cmake --preset sanitize >/dev/null  # clang, in build-tests/sanitize
# Only the fuzz targets and what they link (the build preset's targets); the
# test command has built them already with the rest of the tree.
cmake --build --preset fuzz >/dev/null
tree=build-tests/sanitize
mkdir -p $tree/findings
status=0
for target in "${targets[@]}"; do
  work=$(mktemp -d)
  log="$tree/findings/$target.log"
  regressions=$(find "$PWD/fuzz/regressions" -name "${target//_/-}-*" -o -name "${target}-*" 2>/dev/null | sort)
  if [ -n "$regressions" ] && ! "$tree/fuzz/${target}_fuzz" -timeout=20 $regressions > "$tree/findings/$target-regressions.log" 2>&1; then
    echo "$target: FAILED on a regression input; see $tree/findings/$target-regressions.log"
    status=1
  fi
  if (cd $tree/findings && "../fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 "$work" "$OLDPWD/fuzz/corpus/$target" > "$target.log" 2>&1); then
    verdict=ok
  else
    verdict=FAILED
    status=1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1 || true)
  echo "$target: $verdict after ${seconds}s, ${runs:-0} executions, ${cov:-no coverage line}"
  [ "$verdict" = ok ] || { tail -n 30 "$log"; echo "(inputs that failed: $tree/findings/)"; }
  rm -rf "$work"
done
exit $status
