#!/usr/bin/env bash
# Runs the bundled examples: preparer on the raw data with the answers file,
# then estimator with the control file.
# Usage: examples/run.sh BUILD_DIR OUTPUT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)

for example in loblolly-model1 loblolly-model18; do
  "$build/preparer" "$here/loblolly/loblolly.txt" "$out/$example.dat" "$out/$example.loc" \
    < "$here/$example.answers" > "$out/$example.preparer.txt"
  "$build/estimator" "$here/$example.ctl" "$out/$example.dat" "$out/$example.loc" "$out/$example.report" \
    > "$out/$example.trace"
  echo "== $example: $(tail -n 1 "$out/$example.preparer.txt" | sed 's/^ *//'); $(sed -n 3p "$out/$example.report" | cut -c2-)"
  echo "   trace:  $out/$example.trace"
  echo "   report: $out/$example.report"
done
echo
echo "== report of the first example ($out/loblolly-model1.report):"
cat "$out/loblolly-model1.report"
