// What each estimated parameter of a model is, read from the catalogue's
// parameter names: the curve parameter it stands for, or a coefficient of a
// tied asymptote. The starter proposes curve parameters and this table puts
// them where the model keeps them.
#pragma once

#include <array>

namespace starter {

enum class Role { a, b, c, sigma0, sigma_p, sigma_e, t0, y0, a_intercept, a_slope, a_scale, a_exponent };

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
  std::array<Role, 6> globals{};
  LocalKind kind = LocalKind::asymptote;

  // Position of a role among the globals, or -1.
  int global_index(Role role) const;
  bool estimates(Role role) const { return global_index(role) >= 0; }
  // Models 14 to 18 fix the start of the curve through the model constants.
  bool fixed_start() const { return model >= 14; }
};

// The roles of model 1 to 18 (the caller has checked the number).
ModelRoles model_roles(int model);

}  // namespace starter
