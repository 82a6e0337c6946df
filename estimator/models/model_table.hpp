// Numbers of globals and locals of each model of the catalogue.
#pragma once

#include <array>

namespace estimator {

inline constexpr int kModelCount = 18;

struct ModelCounts {
  int ng;
  int nl;
};

inline constexpr std::array<ModelCounts, kModelCount> kModelCounts = {{
    {4, 1}, {5, 1}, {5, 1}, {5, 1}, {6, 1},  // 1-5: local asymptote
    {4, 1}, {5, 1}, {5, 1}, {5, 1}, {6, 1},  // 6-10: local rate
    {5, 1}, {5, 1},                          // 11, 12: asymptote tied to the local rate
    {3, 2},                                  // 13: local asymptote and rate
    {4, 1}, {4, 1}, {5, 1}, {5, 1}, {3, 2},  // 14-18: as 1, 6, 11, 12, 13 with a fixed start
}};

constexpr bool valid_model(int model) { return model >= 1 && model <= kModelCount; }
constexpr ModelCounts model_counts(int model) { return kModelCounts[static_cast<std::size_t>(model - 1)]; }

}  // namespace estimator
