// What an estimated parameter of a model is: one of the curve parameters
// (curve.hpp), or a coefficient of a tied asymptote,
//   a = a_intercept + a_slope b    or    a = a_scale b^a_exponent,
// with the name results files show for it.
#pragma once

#include <array>
#include <string_view>

#include "model/curve.hpp"

namespace model {

// `none` marks the unused places of a catalogue row.
enum class Role : unsigned char {
  none,
  a,
  b,
  c,
  sigma0,
  sigma_p,
  sigma_e,
  t0,
  y0,
  a_intercept,
  a_slope,
  a_scale,
  a_exponent,
};

struct RoleFacts {
  std::string_view name;
  int position;    // curve position the parameter is, or -1 (a coefficient, or none)
  bool deviation;  // a standard deviation: estimated through its square, 0 a boundary
};

inline constexpr std::array<RoleFacts, 13> kRoleFacts = {{
    {"", -1, false},
    {"a", kCurveA, false},
    {"b", kCurveB, false},
    {"c", kCurveC, false},
    {"sigma0", kCurveS0, true},
    {"sigma_p", kCurveSp, true},
    {"sigma_e", kCurveSe, true},
    {"t0", kCurveT0, false},
    {"y0", kCurveY0, false},
    {"a_intercept", -1, false},
    {"a_slope", -1, false},
    {"a_scale", -1, false},
    {"a_exponent", -1, false},
}};

constexpr const RoleFacts& role_facts(Role role) { return kRoleFacts[static_cast<std::size_t>(role)]; }
constexpr std::string_view role_name(Role role) { return role_facts(role).name; }
constexpr int curve_position(Role role) { return role_facts(role).position; }
constexpr bool is_deviation(Role role) { return role_facts(role).deviation; }

// The role that is curve element `position` (none for a position outside the curve).
constexpr Role curve_role(int position) {
  for (std::size_t r = 1; r < kRoleFacts.size(); ++r)
    if (kRoleFacts[r].position == position) return static_cast<Role>(r);
  return Role::none;
}

}  // namespace model
