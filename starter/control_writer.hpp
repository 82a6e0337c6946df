// The estimator's control file for a self-started run: title, NG NL NP, the
// four unit numbers, monitoring frequency, iteration limit, tolerance, the
// starting globals (named in a comment after them), and the model line.
// Written beside its final name and put in place when complete.
#pragma once

#include <cstdint>
#include <string>

#include "model/model_records.hpp"

namespace starter {

struct ControlContents {
  std::string title;  // cut to 80 characters
  int model = 0;
  double k1 = 1.0, k2 = 1.0;
  std::int64_t plots = 0;
  int mfreq = 0;
  int iteration_limit = 100;
  double tolerance = 1e-5;
  model::Globals globals{};
};

void write_control_file(const std::string& path, const ControlContents& contents);

// The text of a number in the control file: ten significant digits, which
// the estimator reads back as written.
std::string control_number(double v);

}  // namespace starter
