// The raw-unit form of an estimated parameter on the summary page, where a
// change of units is an exact rescaling (estimate and standard error times
// one factor, correlations unchanged: model/raw_units.hpp). Every other
// parameter stays in the scaled units of the data file there: the power c
// has none; the deviations, the start level y0 and a_scale have raw forms
// that depend on other estimates (the results file holds them).
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
