// What run control hands down to the optimiser and the report, once, before
// either starts; none of it changes afterwards.
//   sizes: the numbers of globals, locals and plots and the counts derived from them;
//   files: the two plot files, open for the whole run;
//   esde:  the model number and the two model constants (model/model_records.hpp).
#pragma once

#include <array>
#include <cstdint>

#include "common/limits.hpp"
#include "io/binary_file.hpp"
#include "model/model_records.hpp"

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

// Everything run control hands down to the optimiser and the report.
struct RunContext {
  const Sizes& sizes;
  const Files& files;
  const model::Esde& esde;
  int threads;  // threads that evaluate the plots; the results do not depend on it
};

// The optimiser's fixed-size arrays of one plot's record and of the globals.
using WorkBlock = std::array<double, common::kMaxWorkBlock>;
using LocalFactor = std::array<double, common::kMaxLocalTriangle>;
using GlobalFactor = std::array<double, common::kMaxGlobalTriangle>;

}  // namespace estimator
