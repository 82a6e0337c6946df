#include "starter/model_roles.hpp"

#include <string>

#include "model/catalogue.hpp"
#include "starter/refusal.hpp"

namespace starter {
namespace {

LocalKind local_kind(const model::ModelEntry& m) {
  if (m.nl() == 2 && m.local_index(Role::a) >= 0 && m.local_index(Role::b) >= 0) return LocalKind::asymptote_and_rate;
  if (m.nl() == 1 && m.local_index(Role::a) == 0) return LocalKind::asymptote;
  if (m.nl() == 1 && m.local_index(Role::b) == 0)
    return m.tied == model::TiedAsymptote::none ? LocalKind::rate : LocalKind::tied_rate;
  refuse("model " + std::to_string(m.number) +
         " cannot be started: the starter finds the locals of a plot when they are its asymptote, its rate, or "
         "both");
}

}  // namespace

int ModelRoles::global_index(Role role) const {
  for (int i = 0; i < ng; ++i)
    if (globals[static_cast<std::size_t>(i)] == role) return i;
  return -1;
}

bool ModelRoles::fixed_start() const { return model::fixed_start(model); }

ModelRoles model_roles(int model) {
  const model::ModelEntry& m = model::catalogue_entry(model);
  ModelRoles roles;
  roles.model = model;
  roles.ng = m.ng();
  roles.nl = m.nl();
  roles.globals = m.globals;
  roles.kind = local_kind(m);
  roles.asymptote_local = m.local_index(Role::a);
  roles.rate_local = m.local_index(Role::b);
  return roles;
}

}  // namespace starter
