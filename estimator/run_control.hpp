// The estimator's main sequence: control file, limits, plot files, run
// header, optimiser, outcome message and report.
#pragma once

namespace estimator {

// argv[1..4]: control file, data file, local-parameter file, report file.
int run_estimator(int argc, char** argv);

}  // namespace estimator
