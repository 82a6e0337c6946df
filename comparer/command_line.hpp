// The comparer's command line:
//   comparer DATA LOCALS OUTDIR [--models LIST] [--k1 X --k2 X]
//            [--iteration-limit N] [--jobs N] [--random-locals [--quadrature K]]
#pragma once

#include <string>
#include <vector>

namespace comparer {

struct ComparerCall {
  std::string data, locals, outdir;
  std::vector<int> models;  // in increasing order, each once
  double k1 = 1.0, k2 = 1.0;
  int iteration_limit = 100;
  int jobs = 0;  // 0: as many as there are cores
  bool random_locals = false;
  int quadrature = 0;  // nodes per local given to the estimator; 0: not given (Laplace)
};

// Ends the run with status 0 after --help or --version and with status 2 and
// the usage on a wrong call.
ComparerCall read_command_line(int argc, char** argv);

// "1,4,13-18" or "all": the models of a list, in increasing order; empty when
// the list is not well formed.
std::vector<int> parse_model_list(const std::string& text);

}  // namespace comparer
