#include "starter/start_point.hpp"

namespace starter {
namespace {

double value_of(Role role, const CurveStart& s) {
  switch (role) {
    case Role::a:
      return s.a;
    case Role::b:
      return s.b;
    case Role::c:
      return s.c;
    case Role::sigma0:
      return s.sigma0;
    case Role::sigma_p:
      return s.sigma_p;
    case Role::sigma_e:
      return s.sigma_e;
    case Role::t0:
      return s.t0;
    case Role::y0:
      return s.y0;
    case Role::a_intercept:
    case Role::a_scale:
      return s.a;
    case Role::a_slope:
    case Role::a_exponent:
    case Role::none:
      return 0.0;
  }
  return 0.0;
}

}  // namespace

model::Globals globals_from(const ModelRoles& roles, const CurveStart& start) {
  model::Globals globals{};
  for (int i = 0; i < roles.ng; ++i)
    globals[static_cast<std::size_t>(i)] = value_of(roles.globals[static_cast<std::size_t>(i)], start);
  return globals;
}

void set_deviations(const ModelRoles& roles, double sigma0, double sigma_p, double sigma_e, model::Globals& globals) {
  const auto set = [&](Role role, double value) {
    const int i = roles.global_index(role);
    if (i >= 0) globals[static_cast<std::size_t>(i)] = value;
  };
  set(Role::sigma0, sigma0);
  set(Role::sigma_p, sigma_p);
  set(Role::sigma_e, sigma_e);
}

}  // namespace starter
