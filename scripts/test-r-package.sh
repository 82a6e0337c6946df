#!/usr/bin/env bash
# Installs the R package (r/) into a library inside BUILD_DIR and runs its
# tests (testthat) against the programs built in BUILD_DIR. A skipped test
# fails the run: here the programs are always there.
#   scripts/test-r-package.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
lib=$build/r-library
rm -rf "$lib"
mkdir -p "$lib"
if ! R CMD INSTALL -l "$lib" "$root/r" > "$build/r-install.log" 2>&1; then
  cat "$build/r-install.log"
  exit 1
fi
cd "$root/r/tests/testthat"
GROWTHFIT_PROGRAMS=$build GROWTHFIT_EXAMPLES=$root/examples R_LIBS=$lib Rscript --vanilla -e '
  library(testthat)
  results <- as.data.frame(test_dir(".", package = "growthfit", load_package = "installed", stop_on_failure = TRUE))
  cat(sprintf("R package: %d passed, %d failed, %d skipped\n", sum(results$passed), sum(results$failed),
              sum(results$skipped)))
  if (sum(results$skipped) > 0 || sum(results$failed) > 0 || any(results$error)) quit(status = 1)'
