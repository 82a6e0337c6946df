#!/usr/bin/env bash
# Runs the bundled examples: preparer on the raw data with the answers file,
# then estimator with the control file, projector on the first fit; then the
# starter and the comparer on the same data ("Fitting your own data").
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
    --json "$out/$example.json" --plots "$out/$example.plots.csv" > "$out/$example.trace"
  echo "== $example: $(tail -n 1 "$out/$example.preparer.txt" | sed 's/^ *//'); $(sed -n 3p "$out/$example.report" | cut -c2-)"
  echo "   trace:  $out/$example.trace"
  echo "   report: $out/$example.report"
done

# Projections, residuals, site index and figures of the first example, in feet
# and years (the preparer's scales were 10 and 10).
m1=$out/loblolly-model1
"$build/projector" "$m1.json" "$m1.dat" "$m1.loc" --age-scale 10 --height-scale 10 \
  --age-unit years --height-unit ft --ages 5,15,30 --level 0.9 --base-age 25 \
  --projections "$m1.projections.csv" --residuals "$m1.residuals.csv" --site-index "$m1.site-index.csv" \
  --plot-figure "$m1.plots.svg" --curve-figure "$m1.curves.svg" --residual-figure "$m1.residuals.svg"
echo "== projector: $m1.{projections,residuals,site-index}.csv and $m1.{plots,curves,residuals}.svg"
echo
echo "== report of the first example ($out/loblolly-model1.report):"
cat "$out/loblolly-model1.report"

# "Fitting your own data": one local-parameter file for every model, the
# starter's values for one model, and all eighteen models compared.
own=$out/own-data
mkdir -p "$own"
printf '1 3 10 10 0 0 0\n0\n0\n' | "$build/preparer" "$here/loblolly/loblolly.txt" "$own/lob.dat" "$own/lob.loc" \
  > "$own/lob.preparer.txt"
cp "$own/lob.loc" "$own/lob7.loc"
"$build/starter" "$own/lob.dat" "$own/lob7.loc" "$own/lob7.ctl" --model 7 > "$own/lob7.starter.txt"
echo
echo "== starter, model 7 ($own/lob7.ctl):"
cat "$own/lob7.starter.txt"
echo
echo "== comparer, all models ($own/lob-models/comparison.csv):"
(cd "$own" && "$build/comparer" lob.dat lob.loc lob-models --k1 10 --k2 10)
