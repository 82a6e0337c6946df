// The raw-unit form of an estimated parameter, where a change of units is an
// exact rescaling (estimate and standard error times one factor, correlations
// unchanged), with ages t = age scale × scaled age and heights
// h = height scale × scaled height:
//   a, a_intercept    height               × height scale
//   a_slope           height × age         × height scale × age scale
//                     (a = a_intercept + a_slope b)
//   b                 per unit of age      ÷ age scale
//   t0                age                  × age scale
// Every other parameter stays in the scaled units of the data file: the power
// c has none; the deviations and the start level y0 live on the power scale,
// whose raw form (height scale)^c × value depends on the estimate of c, so
// that its standard error is no rescaling; a_scale's raw form depends on
// a_exponent in the same way.
#pragma once

#include <string>
#include <string_view>

#include "projector/projection_tables.hpp"

namespace projector {

struct RawUnit {
  double factor = 1.0;
  std::string unit;  // "ft", "1/years", ...; "scaled units" or "none" where not converted
  bool converted = false;
};

// `age_unit`, `height_unit`: the names of the raw units.
RawUnit raw_unit(std::string_view name, const Units& units, const std::string& age_unit,
                 const std::string& height_unit);

}  // namespace projector
