// The catalogue's numbers of globals and locals, and the names of the
// parameters each model estimates, as results files show them: both read off
// the model's row (catalogue.hpp).
#pragma once

#include <array>
#include <string_view>

#include "common/limits.hpp"
#include "model/catalogue.hpp"

namespace model {

struct ModelCounts {
  int ng;
  int nl;
};

constexpr ModelCounts model_counts(int model) {
  const ModelEntry& m = catalogue_entry(model);
  return {m.ng(), m.nl()};
}

// Names of the estimated parameters: the curve parameters a (asymptote),
// b (rate), c (power), sigma0 (start deviation), sigma_p (process deviation),
// sigma_e (error deviation), t0 (start age), y0 (start level), and the
// coefficients of a tied asymptote (a_intercept, a_slope, a_scale,
// a_exponent); empty beyond the counts.
struct ModelNames {
  std::array<std::string_view, common::kMaxGlobals> globals;
  std::array<std::string_view, common::kMaxLocals> locals;
};

inline constexpr auto kModelNames = [] {
  std::array<ModelNames, kModelCount> names{};
  for (std::size_t m = 0; m < names.size(); ++m) {
    for (std::size_t i = 0; i < names[m].globals.size(); ++i) names[m].globals[i] = role_name(kCatalogue[m].globals[i]);
    for (std::size_t l = 0; l < names[m].locals.size(); ++l) names[m].locals[l] = role_name(kCatalogue[m].locals[l]);
  }
  return names;
}();

constexpr const ModelNames& model_names(int model) { return kModelNames[static_cast<std::size_t>(model - 1)]; }

}  // namespace model
