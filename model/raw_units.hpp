// The estimated parameters in the raw units of the measurements, with ages
// t = age scale × scaled age and heights h = height scale × scaled height
// (the preparer's scales). Each raw form is an exact function of the
// estimates; where it is a rescaling it is one factor:
//   a, a_intercept    height               × height scale
//   a_slope           height × age         × height scale × age scale
//                     (a = a_intercept + a_slope b)
//   b                 per unit of age      ÷ age scale
//   t0                age                  × age scale
//   c, a_exponent     none                 unchanged
// and otherwise it depends on other estimates:
//   sigma0, sigma_p, sigma_e, y0   on the raw power scale, × (height scale)^c:
//                     the deviations of Y = (h^c − a^c)/c, and the start level
//                     y0, which is h0^c for a curve that starts at height h0
//                     (y0 may be negative: a curve through 0 before t0)
//   a_scale           × height scale × (age scale)^a_exponent
//                     (a = a_scale b^a_exponent)
// The gradient of a raw form with respect to the globals carries their
// covariance to the raw form's (the delta method, which at a maximum of the
// likelihood is the covariance the raw-unit fit itself would give).
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "common/limits.hpp"
#include "model/roles.hpp"

namespace model {

struct Scales {
  double age = 1.0;
  double height = 1.0;
};

// The role of a parameter name ("a", "sigma_p", ...); Role::none if none.
Role role_named(std::string_view name);

// The factor of a parameter whose raw form is a rescaling; nothing otherwise.
std::optional<double> raw_factor(Role role, const Scales& scales);

struct RawGlobal {
  double value = 0.0;
  std::array<double, common::kMaxGlobals> gradient{};  // with respect to the globals
  std::string_view unit;  // "height", "1/age", "height^c", "none", ...
};

// The raw form of global `i` of model `model` at the estimates `globals`.
RawGlobal raw_global(int model, int i, const double* globals, const Scales& scales);

// The unit of a parameter whose raw form is a rescaling.
std::string_view raw_unit_name(Role role);

}  // namespace model
