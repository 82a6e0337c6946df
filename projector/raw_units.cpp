#include "projector/raw_units.hpp"

namespace projector {

RawUnit raw_unit(std::string_view name, const Units& units, const std::string& age_unit,
                 const std::string& height_unit) {
  const double ts = units.age_scale, hs = units.height_scale;
  if (name == "a" || name == "a_intercept") return {hs, height_unit, true};
  if (name == "a_slope") return {hs * ts, height_unit + " × " + age_unit, true};
  if (name == "b") return {1.0 / ts, "1/" + age_unit, true};  // a rate: per unit of age
  if (name == "t0") return {ts, age_unit, true};
  if (name == "c" || name == "a_exponent") return {1.0, "none", false};
  return {1.0, "scaled units", false};
}

}  // namespace projector
