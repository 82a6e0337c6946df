#!/usr/bin/env bash
# Installs the Python package (python/) with pip into a virtual environment
# inside BUILD_DIR (Debian's pandas and pytest seen through
# --system-site-packages; nothing fetched) and runs its tests (pytest)
# against the programs built in BUILD_DIR. A skipped test fails the run.
#   scripts/test-python-package.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
venv=$build/python-venv
rm -rf "$venv"
/usr/bin/python3 -m venv --system-site-packages "$venv"
# A copy of the package's folder, so that the build leaves nothing in the source tree.
rm -rf "$build/python-package"
cp -r "$root/python" "$build/python-package"
if ! "$venv/bin/pip" install --no-index --no-build-isolation "$build/python-package" > "$build/python-install.log" 2>&1; then
  cat "$build/python-install.log"
  exit 1
fi
cd "$build"
PYTHONDONTWRITEBYTECODE=1 GROWTHFIT_PROGRAMS=$build GROWTHFIT_EXAMPLES=$root/examples "$venv/bin/python" -m pytest -q -p no:cacheprovider \
  -W error::pytest.PytestUnraisableExceptionWarning "$root/python/tests" -rs | tee "$build/python-tests.log"
if grep -q "skipped" "$build/python-tests.log"; then
  echo "Python package: tests were skipped"
  exit 1
fi
