// The starter's command line:
//   starter DATA LOCALS CONTROL --model M [--k1 X] [--k2 X] [--title TEXT]
//           [--iteration-limit N] [--monitor N] [--tolerance X] [--sample N]
//           [--random-locals]
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace starter {

struct StarterCall {
  std::string data, locals, control;
  int model = 0;
  double k1 = 1.0, k2 = 1.0;
  std::string title;  // empty: a title naming the model
  int iteration_limit = 100;
  int mfreq = 0;
  std::optional<double> tolerance;
  std::int64_t sample = 2000;
  bool random_locals = false;  // values for estimator --random-locals: globals and population by marginal likelihood
};

// Ends the run with status 0 after --help or --version and with status 2 and
// the usage on a wrong call. A model number outside the catalogue is refused with
// status 1.
StarterCall read_command_line(int argc, char** argv);

}  // namespace starter
