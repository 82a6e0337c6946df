#include "projector/raw_units.hpp"

#include "model/raw_units.hpp"

namespace projector {

RawUnit raw_unit(std::string_view name, const Units& units, const std::string& age_unit,
                 const std::string& height_unit) {
  const model::Role role = model::role_named(name);
  if (role == model::Role::c || role == model::Role::a_exponent) return {1.0, "none", false};
  const auto factor = model::raw_factor(role, {units.age_scale, units.height_scale});
  if (!factor) return {1.0, "scaled units", false};
  if (role == model::Role::a_slope) return {*factor, height_unit + " × " + age_unit, true};
  if (role == model::Role::b) return {*factor, "1/" + age_unit, true};  // a rate: per unit of age
  if (role == model::Role::t0) return {*factor, age_unit, true};
  return {*factor, height_unit, true};
}

}  // namespace projector
