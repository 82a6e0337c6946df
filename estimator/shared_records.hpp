// What run control hands down to the optimiser and the report, once, before
// either starts; none of it changes afterwards.
//   sizes: the numbers of globals, locals and plots and the counts derived from them;
//   files: the two plot files, open for the whole run;
//   esde:  the model number and the two model constants.
#pragma once

#include <array>
#include <cstdint>

#include "common/limits.hpp"
#include "io/binary_file.hpp"

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

// The sizes of a problem of ng globals, nl locals and np plots.
Sizes make_sizes(int ng, int nl, int np);

struct Files {
  io::SequentialReader& data;    // read front to back, rewound for plot 1
  io::DirectAccessFile& locals;  // one record per plot, rewritten in place
};

struct Esde {
  double k1 = 0.0;  // first model constant
  double k2 = 0.0;  // second model constant
  int model = 0;    // model number, 1 to 18
};

// Everything run control hands down to the optimiser and the report.
struct RunContext {
  const Sizes& sizes;
  const Files& files;
  const Esde& esde;
  int threads;  // threads that evaluate the plots; the results do not depend on it
};

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
