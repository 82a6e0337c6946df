#include "model/raw_units.hpp"

#include <cmath>

#include "model/catalogue.hpp"

namespace model {

Role role_named(std::string_view name) {
  for (std::size_t r = 1; r < kRoleFacts.size(); ++r)
    if (kRoleFacts[r].name == name) return static_cast<Role>(r);
  return Role::none;
}

std::optional<double> raw_factor(Role role, const Scales& s) {
  switch (role) {
    case Role::a:
    case Role::a_intercept:
      return s.height;
    case Role::a_slope:
      return s.height * s.age;
    case Role::b:
      return 1.0 / s.age;  // a rate: per unit of age
    case Role::t0:
      return s.age;
    case Role::c:
    case Role::a_exponent:
      return 1.0;
    default:
      return std::nullopt;
  }
}

std::string_view raw_unit_name(Role role) {
  switch (role) {
    case Role::a:
    case Role::a_intercept:
      return "height";
    case Role::a_slope:
      return "height*age";
    case Role::b:
      return "1/age";
    case Role::t0:
      return "age";
    case Role::sigma0:
    case Role::sigma_p:
    case Role::sigma_e:
    case Role::y0:
      return "height^c";
    case Role::a_scale:
      return "height*age^a_exponent";
    default:
      return "none";
  }
}

RawGlobal raw_global(int model, int i, const double* g, const Scales& s) {
  const ModelEntry& m = catalogue_entry(model);
  const Role role = m.globals[static_cast<std::size_t>(i)];
  RawGlobal r;
  r.unit = raw_unit_name(role);
  const auto at = [&](int k) -> double& { return r.gradient[static_cast<std::size_t>(k)]; };
  if (const auto factor = raw_factor(role, s)) {
    r.value = *factor * g[i];
    at(i) = *factor;
    return r;
  }
  if (role == Role::a_scale) {
    const int e = m.global_index(Role::a_exponent);
    const double factor = s.height * std::pow(s.age, g[e]);
    r.value = factor * g[i];
    at(i) = factor;
    at(e) = r.value * std::log(s.age);
    return r;
  }
  const int ci = m.global_index(Role::c);
  const double c = g[ci];
  // A deviation or the start level, on the power scale.
  const double factor = std::pow(s.height, c);
  r.value = factor * g[i];
  at(i) = factor;
  at(ci) = r.value * std::log(s.height);
  return r;
}

}  // namespace model
