// One model of the comparison, in its own folder OUTDIR/model-NN: a copy of
// the preparer's local-parameter file, the starter's control file, then the
// estimator's report, results (results.json, plots.csv) and trace. The
// preparer's files are only read.
#pragma once

#include <string>

#include "comparer/model_row.hpp"

namespace comparer {

struct RunSettings {
  std::string data;
  std::string locals;
  std::string outdir;
  double k1 = 1.0;
  double k2 = 1.0;
  int iteration_limit = 100;
  int threads = 1;  // of each estimator run
  std::string starter;
  std::string estimator;
  bool random_locals = false;  // every model fitted by estimator --random-locals
  int quadrature = 0;          // its --quadrature K; 0: not given (Laplace)
};

// The folder of a model's run.
std::string model_folder(const std::string& outdir, int model);

ModelRow run_model(int model, const RunSettings& settings);

}  // namespace comparer
