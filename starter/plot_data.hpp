// One plot's measurements as the data file holds them: scaled ages (not
// decreasing) and scaled heights.
#pragma once

#include <cstdint>

#include "estimator/shared_records.hpp"

namespace starter {

struct Plot {
  std::int32_t id = 0;
  int n = 0;
  estimator::Measurements ages{};
  estimator::Measurements heights{};
};

}  // namespace starter
