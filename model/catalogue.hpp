// The model catalogue: one row per model, in one place. Everything else that
// is said about a model is derived from its row: the counts and the names
// results files show (model_table.hpp), the curve parameters it moves and
// the likelihood kernels' derivative sets (moved_parameters.hpp), trpars and
// trders (dispatch.cpp), and what the starter and the comparer need to know.
//
// A row gives
//   globals, locals  what each estimated parameter is (roles.hpp), in the
//                    order of the control file's globals and of a record's
//                    locals; their counts are the model's NG and NL;
//   tied             how the asymptote follows the plot's rate where no
//                    parameter is the asymptote:
//                      linear  a = a_intercept + a_slope b,
//                      power   a = a_scale b^a_exponent;
//   fixed_start      the curve starts at age t0 = 0.5 / K1 and level
//                    y0 = (1.3 / K2)^c, K1 and K2 the model constants
//                    (otherwise t0 and y0 are 0 unless estimated);
//   map, jets        the curve map trpN (curve_maps.cpp), for values and
//                    for values with derivatives (curve_jet.hpp);
//   derivatives      the hand-written chain rule trdN of the map, or null:
//                    trders then takes the derivatives of the map through
//                    jets (jet_derivatives.hpp).
// A curve element that neither a parameter, nor the tie, nor the fixed start
// gives is 0. A row that contradicts itself does not compile (well_formed);
// tests/models_test.cpp checks every row against what its map does.
//
// A new model: its row below, the declaration of its map beside the others,
// and the map in curve_maps.cpp.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

#include "common/limits.hpp"
#include "model/model_records.hpp"
#include "model/models.hpp"
#include "model/roles.hpp"

namespace model {

struct CurveJet;

enum class TiedAsymptote : unsigned char { none, linear, power };

using JetParameterTransform = void (*)(const Esde&, const GlobalsOf<CurveJet>&, const LocalsOf<CurveJet>&,
                                       CurveOf<CurveJet>&);

// Position of a role in a list of roles, or -1.
template <std::size_t N>
constexpr int role_index(const std::array<Role, N>& roles, Role role) {
  const auto at = std::ranges::find(roles, role);
  return role != Role::none && at != roles.end() ? static_cast<int>(at - roles.begin()) : -1;
}

struct ModelEntry {
  int number = 0;
  std::array<Role, common::kMaxGlobals> globals{};
  std::array<Role, common::kMaxLocals> locals{};
  TiedAsymptote tied = TiedAsymptote::none;
  bool fixed_start = false;
  ParameterTransform map = nullptr;
  JetParameterTransform jets = nullptr;
  DerivativeTransform derivatives = nullptr;

  constexpr int ng() const { return static_cast<int>(globals.size() - std::ranges::count(globals, Role::none)); }
  constexpr int nl() const { return static_cast<int>(locals.size() - std::ranges::count(locals, Role::none)); }
  // The parameter of the role among the globals, or among the locals; -1 if none.
  constexpr int global_index(Role role) const { return role_index(globals, role); }
  constexpr int local_index(Role role) const { return role_index(locals, role); }
  constexpr bool estimates(Role role) const { return global_index(role) >= 0 || local_index(role) >= 0; }
};

// The curve maps of the rows (curve_maps.cpp): T is double or CurveJet.
#define GROWTH_DECLARE_CURVE_MAP(N) \
  template <class T>                \
  void trp##N(const Esde& esde, const GlobalsOf<T>& globals, const LocalsOf<T>& locals, CurveOf<T>& curve);
GROWTH_DECLARE_CURVE_MAP(1)
GROWTH_DECLARE_CURVE_MAP(2)
GROWTH_DECLARE_CURVE_MAP(3)
GROWTH_DECLARE_CURVE_MAP(4)
GROWTH_DECLARE_CURVE_MAP(5)
GROWTH_DECLARE_CURVE_MAP(6)
GROWTH_DECLARE_CURVE_MAP(7)
GROWTH_DECLARE_CURVE_MAP(8)
GROWTH_DECLARE_CURVE_MAP(9)
GROWTH_DECLARE_CURVE_MAP(10)
GROWTH_DECLARE_CURVE_MAP(11)
GROWTH_DECLARE_CURVE_MAP(12)
GROWTH_DECLARE_CURVE_MAP(13)
GROWTH_DECLARE_CURVE_MAP(14)
GROWTH_DECLARE_CURVE_MAP(15)
GROWTH_DECLARE_CURVE_MAP(16)
GROWTH_DECLARE_CURVE_MAP(17)
GROWTH_DECLARE_CURVE_MAP(18)
#undef GROWTH_DECLARE_CURVE_MAP

inline constexpr auto kCatalogue = [] {
  using enum Role;
  constexpr TiedAsymptote linear = TiedAsymptote::linear, power = TiedAsymptote::power;
  // clang-format off
  return std::to_array<ModelEntry>({
      // 1-5: the local is the asymptote; the start at the origin, at an estimated age or level
      {.number = 1, .globals = {b, c, sigma_p, sigma_e}, .locals = {a}, .map = trp1, .jets = trp1, .derivatives = trd1},
      {.number = 2, .globals = {b, c, sigma_p, sigma_e, t0}, .locals = {a}, .map = trp2, .jets = trp2, .derivatives = trd2},
      {.number = 3, .globals = {b, c, sigma_p, sigma_e, y0}, .locals = {a}, .map = trp3, .jets = trp3, .derivatives = trd3},
      {.number = 4, .globals = {b, c, sigma0, sigma_p, sigma_e}, .locals = {a}, .map = trp4, .jets = trp4, .derivatives = trd4},
      {.number = 5, .globals = {b, c, sigma0, sigma_p, sigma_e, t0}, .locals = {a}, .map = trp5, .jets = trp5, .derivatives = trd5},
      // 6-10: as 1-5 with the asymptote global and the rate local
      {.number = 6, .globals = {a, c, sigma_p, sigma_e}, .locals = {b}, .map = trp6, .jets = trp6, .derivatives = trd6},
      {.number = 7, .globals = {a, c, sigma_p, sigma_e, t0}, .locals = {b}, .map = trp7, .jets = trp7, .derivatives = trd7},
      {.number = 8, .globals = {a, c, sigma_p, sigma_e, y0}, .locals = {b}, .map = trp8, .jets = trp8, .derivatives = trd8},
      {.number = 9, .globals = {a, c, sigma0, sigma_p, sigma_e}, .locals = {b}, .map = trp9, .jets = trp9, .derivatives = trd9},
      {.number = 10, .globals = {a, c, sigma0, sigma_p, sigma_e, t0}, .locals = {b}, .map = trp10, .jets = trp10, .derivatives = trd10},
      // 11, 12: the local is the rate, and the asymptote is tied to it
      {.number = 11, .globals = {a_intercept, a_slope, c, sigma_p, sigma_e}, .locals = {b}, .tied = linear, .map = trp11, .jets = trp11, .derivatives = trd11},
      {.number = 12, .globals = {a_scale, a_exponent, c, sigma_p, sigma_e}, .locals = {b}, .tied = power, .map = trp12, .jets = trp12, .derivatives = trd12},
      // 13: the locals are the asymptote and the rate
      {.number = 13, .globals = {c, sigma_p, sigma_e}, .locals = {a, b}, .map = trp13, .jets = trp13, .derivatives = trd13},
      // 14-18: as 1, 6, 11, 12, 13 with the start of the curve fixed
      {.number = 14, .globals = {b, c, sigma_p, sigma_e}, .locals = {a}, .fixed_start = true, .map = trp14, .jets = trp14, .derivatives = trd14},
      {.number = 15, .globals = {a, c, sigma_p, sigma_e}, .locals = {b}, .fixed_start = true, .map = trp15, .jets = trp15, .derivatives = trd15},
      {.number = 16, .globals = {a_intercept, a_slope, c, sigma_p, sigma_e}, .locals = {b}, .tied = linear, .fixed_start = true, .map = trp16, .jets = trp16, .derivatives = trd16},
      {.number = 17, .globals = {a_scale, a_exponent, c, sigma_p, sigma_e}, .locals = {b}, .tied = power, .fixed_start = true, .map = trp17, .jets = trp17, .derivatives = trd17},
      {.number = 18, .globals = {c, sigma_p, sigma_e}, .locals = {a, b}, .fixed_start = true, .map = trp18, .jets = trp18, .derivatives = trd18},
  });
  // clang-format on
}();

inline constexpr int kModelCount = static_cast<int>(kCatalogue.size());

constexpr bool valid_model(int model) { return model >= 1 && model <= kModelCount; }
constexpr const ModelEntry& catalogue_entry(int model) { return kCatalogue[static_cast<std::size_t>(model - 1)]; }

// Models whose curve starts at the point the model constants give.
constexpr bool fixed_start(int model) { return catalogue_entry(model).fixed_start; }

// A row that can be a model: numbered in order; at least one global and one
// local, listed without gaps and never twice; the rate and the power
// estimated; the asymptote estimated or tied, never both, and tied with both
// of its coefficients; no estimated start age or level beside a fixed start.
constexpr bool well_formed(const ModelEntry& m, int number) {
  using enum Role;
  const auto without_gaps = [](const auto& roles, int count) {
    return std::ranges::count(roles, none) == static_cast<std::ptrdiff_t>(roles.size()) - count &&
           std::ranges::all_of(roles.begin(), roles.begin() + count, [](Role r) { return r != none; });
  };
  const auto count = [&m](Role r) { return std::ranges::count(m.globals, r) + std::ranges::count(m.locals, r); };
  bool once = true;
  for (int r = static_cast<int>(a); r <= static_cast<int>(a_exponent); ++r)
    once = once && count(static_cast<Role>(r)) <= 1;
  const auto has = [&m](Role r) { return m.global_index(r) >= 0; };
  const bool linear = has(a_intercept) && has(a_slope), power = has(a_scale) && has(a_exponent);
  const bool coefficients = has(a_intercept) || has(a_slope) || has(a_scale) || has(a_exponent);
  const bool tie_given = m.tied == TiedAsymptote::linear  ? linear && !has(a_scale) && !has(a_exponent)
                         : m.tied == TiedAsymptote::power ? power && !has(a_intercept) && !has(a_slope)
                                                          : !coefficients;
  return m.number == number && m.ng() >= 1 && m.nl() >= 1 && without_gaps(m.globals, m.ng()) &&
         without_gaps(m.locals, m.nl()) && once && m.estimates(b) && m.estimates(c) &&
         m.estimates(a) == (m.tied == TiedAsymptote::none) && tie_given &&
         !(m.fixed_start && (m.estimates(t0) || m.estimates(y0)));
}

constexpr bool catalogue_well_formed() {
  for (int model = 1; model <= kModelCount; ++model)
    if (!well_formed(catalogue_entry(model), model)) return false;
  return true;
}
static_assert(catalogue_well_formed(), "a row of the model catalogue contradicts itself");

}  // namespace model
