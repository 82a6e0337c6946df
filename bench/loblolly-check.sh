#!/usr/bin/env bash
# The bundled loblolly data: every model fitted from the starter's values
# (comparer) and from a hand-made start of the kind the examples use (rate 0.5,
# power 0.5, deviations 0.1 and 0.05, asymptote 8 in tens of feet, start age
# and level 0, tied asymptotes untied), then restarted from each optimum.
# Prints one row per model: outcome, iterations and log-likelihood of each
# start, and whether the restarts from the optima converge.
#
#   bench/loblolly-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
bench_setup loblolly
raw=examples/loblolly/loblolly.txt

"$B/preparer" "$raw" "$work/lob.dat" "$work/lob.loc" <<<$'1 3 10 10 0 0 0\n0\n0' > /dev/null
"$B/comparer" "$work/lob.dat" "$work/lob.loc" "$work/self" --k1 10 --k2 10 > "$work/table.txt" 2>/dev/null

# Hand-made starting globals of each model, by parameter name.
hand_value() {
  case $1 in
    a|a_intercept|a_scale) echo 8.0 ;; b|c) echo 0.5 ;; sigma0|sigma_p) echo 0.1 ;; sigma_e) echo 0.05 ;;
    *) echo 0.0 ;;
  esac
}
json() { sed -n "s/^  \"$1\": \"\{0,1\}\([^\",]*\)\"\{0,1\},\{0,1\}$/\1/p" "$2"; }
# A control file with the given globals and the settings of the self-start.
control_with() {
  { sed -n 1,4p "$1"; echo "$2"; sed -n 6p "$1"; } > "$3"
}
restart() {  # restart FOLDER: from the optimum the folder's run reached
  local d=$1
  cp "$d/locals" "$d/restart.loc"
  control_with "$d/control" "$(tr -d '[],\n' < <(sed -n '/"estimates"/,/\]/p' "$d/results.json" | sed -n '2,/\]/p' | head -n -1))" "$d/restart.ctl"
  "$B/estimator" "$d/restart.ctl" "$work/lob.dat" "$d/restart.loc" "$d/restart.rep" --json "$d/restart.json" > /dev/null
  echo "$(json outcome "$d/restart.json") $(json iterations "$d/restart.json")"
}

echo "| model | self-start: outcome | iterations | log-likelihood | restart from its optimum | hand start: outcome | iterations | log-likelihood | restart from its optimum |"
echo "|---|---|---|---|---|---|---|---|---|"
for model in $(seq 1 18); do
  d=$work/self/$(printf 'model-%02d' "$model")
  h=$work/hand$model
  mkdir -p "$h"
  if [ "$(sed -n 2p "$d/control" | awk '{ print $2 }')" = 2 ]; then starts="8.0 0.5"; nl=2; else nl=1; fi
  names=$(sed -n '/"globals": {/,/\]/p' "$d/results.json" | sed -n 's/^ *"\([a-z0-9_]*\)",\{0,1\}$/\1/p')
  globals=""; for n in $names; do globals+="$(hand_value "$n") "; done
  if [ "$nl" = 1 ]; then
    starts=$(sed -n '/"locals": \[/,/\]/p' "$d/results.json" | sed -n 's/^ *"\([a-z]\)"$/\1/p' | head -1)
    [ "$starts" = a ] && starts=8.0 || starts=0.5
  fi
  "$B/preparer" "$raw" "$h/lob.dat" "$h/locals" <<<"$nl 3 10 10 0 0 0"$'\n'"$( [ $nl = 2 ] && echo '0 0' || echo 0)"$'\n'"$starts" > /dev/null
  control_with "$d/control" "$globals" "$h/control"
  "$B/estimator" "$h/control" "$work/lob.dat" "$h/locals" "$h/report" --json "$h/results.json" > /dev/null || true
  hand="failed - -"; hand_restart="-"
  if [ -f "$h/results.json" ]; then
    hand="$(json outcome "$h/results.json") | $(json iterations "$h/results.json") | $(json log_likelihood "$h/results.json")"
    hand_restart=$(restart "$h")
  fi
  echo "| $model | $(json outcome "$d/results.json") | $(json iterations "$d/results.json") |" \
       "$(json log_likelihood "$d/results.json") | $(restart "$d") | $hand | $hand_restart |"
done
echo
echo '```'
cat "$work/table.txt"
echo '```'
