// The three records of shared state of the estimator. Run control fills them
// before the optimiser starts; afterwards only the current plot identifier
// changes (set by `get` for every local-parameter record it reads).
#pragma once

#include <array>
#include <cstdint>

#include "common/limits.hpp"

namespace estimator {

struct Sizes {
  int ng = 0;     // number of global parameters
  int nl = 0;     // number of local parameters
  int ngnl = 0;   // ng * nl
  int ngg = 0;    // ng (ng + 1) / 2, a packed triangle of order ng
  int nll = 0;    // nl (nl + 1) / 2, a packed triangle of order nl
  int nwork = 0;  // (ng + 1) * nl, the work block of a local-parameter record
  int np = 0;     // number of plots
};

struct Files {
  int unused = 0;       // the third unit value of the control file; read by nothing
  int locals_unit = 3;  // local-parameter file
  int data_unit = 2;    // data file
  int report_unit = 4;  // report file
};

struct Esde {
  double k1 = 0.0;          // first model constant
  double k2 = 0.0;          // second model constant
  std::int32_t plot_id = 0; // identifier of the plot being processed
  int model = 0;            // model number
};

extern Sizes sizes;
extern Files files;
extern Esde esde;

// Sets the derived counts of `sizes` from ng and nl.
void derive_sizes(Sizes& s);

// Fixed-size arrays of one plot and of the globals.
using Globals = std::array<double, common::kMaxGlobals>;
using Locals = std::array<double, common::kMaxLocals>;
using WorkBlock = std::array<double, common::kMaxWorkBlock>;
using LocalFactor = std::array<double, common::kMaxLocalTriangle>;
using GlobalFactor = std::array<double, common::kMaxGlobalTriangle>;
using Measurements = std::array<double, common::kMaxMeasurements>;
using Curve = std::array<double, 8>;
using CurveGradient = std::array<double, 8>;
using CurveHessian = std::array<double, 64>;  // 8 x 8, column by column

}  // namespace estimator
