// The values a model works with, in fixed-size arrays at the limits: the
// model number and its two constants, the globals, one plot's locals and its
// measurements.
#pragma once

#include <array>

#include "common/limits.hpp"
#include "model/curve.hpp"

namespace model {

struct Esde {
  double k1 = 0.0;  // first model constant
  double k2 = 0.0;  // second model constant
  int model = 0;    // model number, 1 to kModelCount
};

// T: double for values, CurveJet for values with derivatives (curve_jet.hpp).
template <class T>
using GlobalsOf = std::array<T, common::kMaxGlobals>;
template <class T>
using LocalsOf = std::array<T, common::kMaxLocals>;
using Globals = GlobalsOf<double>;
using Locals = LocalsOf<double>;
using Measurements = std::array<double, common::kMaxMeasurements>;

}  // namespace model
