// The catalogue's numbers of globals and locals, and the names of the
// parameters each model estimates, as results files show them.
#pragma once

#include <array>
#include <string_view>

namespace model {

inline constexpr int kModelCount = 18;

struct ModelCounts {
  int ng;
  int nl;
};

inline constexpr std::array<ModelCounts, kModelCount> kModelCounts = {{
    {4, 1},
    {5, 1},
    {5, 1},
    {5, 1},
    {6, 1},  // 1-5: local asymptote
    {4, 1},
    {5, 1},
    {5, 1},
    {5, 1},
    {6, 1},  // 6-10: local rate
    {5, 1},
    {5, 1},  // 11, 12: asymptote tied to the local rate
    {3, 2},  // 13: local asymptote and rate
    {4, 1},
    {4, 1},
    {5, 1},
    {5, 1},
    {3, 2},  // 14-18: as 1, 6, 11, 12, 13 with a fixed start
}};

constexpr bool valid_model(int model) { return model >= 1 && model <= kModelCount; }
constexpr ModelCounts model_counts(int model) { return kModelCounts[static_cast<std::size_t>(model - 1)]; }

// Names of the estimated parameters: the curve parameters a (asymptote),
// b (rate), c (power), sigma0 (start deviation), sigma_p (process deviation),
// sigma_e (error deviation), t0 (start age), y0 (start level), and the
// coefficients of a tied asymptote: a = a_intercept + a_slope * b (models 11,
// 16) or a = a_scale * b^a_exponent (models 12, 17).
struct ModelNames {
  std::array<std::string_view, 6> globals;
  std::array<std::string_view, 2> locals;
};

inline constexpr std::array<ModelNames, kModelCount> kModelNames = {{
    {{"b", "c", "sigma_p", "sigma_e"}, {"a"}},
    {{"b", "c", "sigma_p", "sigma_e", "t0"}, {"a"}},
    {{"b", "c", "sigma_p", "sigma_e", "y0"}, {"a"}},
    {{"b", "c", "sigma0", "sigma_p", "sigma_e"}, {"a"}},
    {{"b", "c", "sigma0", "sigma_p", "sigma_e", "t0"}, {"a"}},
    {{"a", "c", "sigma_p", "sigma_e"}, {"b"}},
    {{"a", "c", "sigma_p", "sigma_e", "t0"}, {"b"}},
    {{"a", "c", "sigma_p", "sigma_e", "y0"}, {"b"}},
    {{"a", "c", "sigma0", "sigma_p", "sigma_e"}, {"b"}},
    {{"a", "c", "sigma0", "sigma_p", "sigma_e", "t0"}, {"b"}},
    {{"a_intercept", "a_slope", "c", "sigma_p", "sigma_e"}, {"b"}},
    {{"a_scale", "a_exponent", "c", "sigma_p", "sigma_e"}, {"b"}},
    {{"c", "sigma_p", "sigma_e"}, {"a", "b"}},
    {{"b", "c", "sigma_p", "sigma_e"}, {"a"}},
    {{"a", "c", "sigma_p", "sigma_e"}, {"b"}},
    {{"a_intercept", "a_slope", "c", "sigma_p", "sigma_e"}, {"b"}},
    {{"a_scale", "a_exponent", "c", "sigma_p", "sigma_e"}, {"b"}},
    {{"c", "sigma_p", "sigma_e"}, {"a", "b"}},
}};

constexpr const ModelNames& model_names(int model) { return kModelNames[static_cast<std::size_t>(model - 1)]; }

}  // namespace model
