#include "starter/model_roles.hpp"

#include <stdexcept>
#include <string>
#include <string_view>

#include "model/model_table.hpp"

namespace starter {
namespace {

Role role_of(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, Role>, 12> kNames = {{
      {"a", Role::a},
      {"b", Role::b},
      {"c", Role::c},
      {"sigma0", Role::sigma0},
      {"sigma_p", Role::sigma_p},
      {"sigma_e", Role::sigma_e},
      {"t0", Role::t0},
      {"y0", Role::y0},
      {"a_intercept", Role::a_intercept},
      {"a_slope", Role::a_slope},
      {"a_scale", Role::a_scale},
      {"a_exponent", Role::a_exponent},
  }};
  for (const auto& [text, role] : kNames)
    if (text == name) return role;
  throw std::logic_error("no role for the parameter name " + std::string(name));
}

}  // namespace

int ModelRoles::global_index(Role role) const {
  for (int i = 0; i < ng; ++i)
    if (globals[static_cast<std::size_t>(i)] == role) return i;
  return -1;
}

ModelRoles model_roles(int model) {
  const model::ModelCounts counts = model::model_counts(model);
  const model::ModelNames& names = model::model_names(model);
  ModelRoles roles;
  roles.model = model;
  roles.ng = counts.ng;
  roles.nl = counts.nl;
  for (int i = 0; i < counts.ng; ++i)
    roles.globals[static_cast<std::size_t>(i)] = role_of(names.globals[static_cast<std::size_t>(i)]);
  if (counts.nl == 2) {
    roles.kind = LocalKind::asymptote_and_rate;
  } else if (names.locals[0] == "a") {
    roles.kind = LocalKind::asymptote;
  } else {
    roles.kind = roles.estimates(Role::a) ? LocalKind::rate : LocalKind::tied_rate;
  }
  return roles;
}

}  // namespace starter
