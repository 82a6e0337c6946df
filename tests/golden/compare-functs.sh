#!/usr/bin/env bash
# Compares the stored traces of the golden runs with those of an earlier
# commit: the same number of iteration summaries, and every FUNCT. within
# 1e-9 relative of the earlier one. Run it when the stored outputs are
# regenerated after a change that may move last digits.
#
#   tests/golden/compare-functs.sh REVISION
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rev=$1
functs() { sed -n 's/.*FUNCT\.= *\([^ ]*\).*/\1/p'; }

status=0
for dir in "$here"/*/; do
  name=$(basename "$dir")
  [ -f "$dir/expected-trace" ] || continue
  old=$(git -C "$here" show "$rev:tests/golden/$name/expected-trace" | functs)
  new=$(functs < "$dir/expected-trace")
  awk -v name="$name" -v old="$old" -v new="$new" 'BEGIN {
    n = split(old, a, "\n"); m = split(new, b, "\n"); worst = 0
    if (n != m) { printf "%s: %d iteration summaries, %d before\n", name, m, n; exit 1 }
    for (i = 1; i <= n; ++i) {
      d = a[i] - b[i]; d = d < 0 ? -d : d
      s = a[i] < 0 ? -a[i] : a[i]; t = b[i] < 0 ? -b[i] : b[i]; s = s > t ? s : t
      r = s > 0 ? d / s : d
      if (r > worst) worst = r
    }
    printf "%-18s %3d FUNCT. values, largest relative difference %.3g\n", name, n, worst
    exit worst > 1e-9
  }' || status=1
done
[ $status -eq 0 ] && echo "every FUNCT. agrees with $rev to 1e-9 relative" || echo "FUNCT. values differ from $rev"
exit $status
