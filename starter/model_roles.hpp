// What each estimated parameter of a model is, as the catalogue's row says
// (model/catalogue.hpp): the curve parameter it stands for, or a coefficient
// of a tied asymptote. The starter proposes curve parameters and this table
// puts them where the model keeps them.
#pragma once

#include <array>

#include "common/limits.hpp"
#include "model/roles.hpp"

namespace starter {

using model::Role;

// How a plot's locals enter its curve.
enum class LocalKind {
  asymptote,           // the local is a (models 1-5, 14)
  rate,                // the local is b, a is global (6-10, 15)
  tied_rate,           // the local is b, a is a function of it (11, 12, 16, 17)
  asymptote_and_rate,  // the locals are a and b (13, 18)
};

struct ModelRoles {
  int model = 0;
  int ng = 0;
  int nl = 0;
  std::array<Role, common::kMaxGlobals> globals{};
  LocalKind kind = LocalKind::asymptote;
  int asymptote_local = -1;  // position of a among the locals, or -1
  int rate_local = -1;       // position of b among the locals, or -1

  // Position of a role among the globals, or -1.
  int global_index(Role role) const;
  bool estimates(Role role) const { return global_index(role) >= 0; }
  // The model fixes the start of the curve through the model constants.
  bool fixed_start() const;
};

// The roles of a model of the catalogue (the caller has checked the number);
// a model whose locals are none of the kinds above is refused.
ModelRoles model_roles(int model);

}  // namespace starter
