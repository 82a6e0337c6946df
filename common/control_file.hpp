// The control file of an estimator run: title line, problem sizes, iteration
// settings and starting globals (one free-form read), then model number and
// the two model constants (a second read, starting on a new line). The
// estimator reads it (control_file_reader.hpp); the starter, the simulation
// of the benchmarks and the tests write it (control_file_writer.hpp).
#pragma once

#include <array>
#include <string>

#include "common/limits.hpp"

namespace common {

struct ControlFile {
  std::string title;  // as read: exactly 80 characters
  int ng = 0;
  int nl = 0;
  int np = 0;
  std::array<int, 4> unit_values{1, 1, 1, 1};  // read, and of no effect
  int mfreq = 0;
  int itlim = 0;
  double tol = 0.0;
  std::array<double, kMaxGlobals> globals{};
  int model = 0;
  double k1 = 0.0;
  double k2 = 0.0;
};

}  // namespace common
