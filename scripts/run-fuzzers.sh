#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) and runs each for a bounded time on its seed corpus.
#
#   scripts/run-fuzzers.sh [SECONDS-PER-TARGET]     (default 60)
#
# Each target first replays the inputs of fuzz/regressions/ named after it
# (inputs that once crashed or hung). New inputs go to a scratch corpus; a
# crash leaves its input in build-fuzz/findings/ and ends the script with a
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh test
targets=(free_form_reader format estimator_control plot_files preparer)
cmake --preset fuzz >/dev/null  # clang, in build-fuzz
# Only the fuzz targets and what they link (the preset's targets, those of
# the list above): the other programs are built and tested by the two test
# builds.
cmake --build --preset fuzz >/dev/null
mkdir -p build-fuzz/findings
status=0
for target in "${targets[@]}"; do
  work=$(mktemp -d)
  regressions=$(find fuzz/regressions -name "${target//_/-}-*" -o -name "${target}-*" 2>/dev/null | sort)
  if [ -n "$regressions" ] && ! "build-fuzz/fuzz/${target}_fuzz" -timeout=20 $regressions > "build-fuzz/findings/$target-regressions.log" 2>&1; then
    echo "!! $target fails on a regression input; see build-fuzz/findings/$target-regressions.log"
    status=1
  fi
  echo "== fuzzing $target for ${seconds}s"
  if ! (cd build-fuzz/findings && "../fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
          -print_final_stats=1 "$work" "$OLDPWD/fuzz/corpus/$target" > "$target.log" 2>&1); then
    echo "!! $target failed; see build-fuzz/findings/$target.log"
    tail -n 30 "build-fuzz/findings/$target.log"
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" "build-fuzz/findings/$target.log" | tail -n 2
  fi
  rm -rf "$work"
done
exit $status
