// One plot of the data file: its identifier and its measurements, scaled
// ages (not decreasing) and scaled heights, as every program reads them.
#pragma once

#include <array>
#include <cstdint>

#include "common/limits.hpp"

namespace common {

struct Plot {
  std::int32_t id = 0;
  int n = 0;
  std::array<double, kMaxMeasurements> ages{};
  std::array<double, kMaxMeasurements> heights{};
};

}  // namespace common
