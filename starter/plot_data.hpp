// One plot's measurements as the data file holds them: scaled ages (not
// decreasing) and scaled heights.
#pragma once

#include <cstdint>

#include "model/model_records.hpp"

namespace starter {

struct Plot {
  std::int32_t id = 0;
  int n = 0;
  model::Measurements ages{};
  model::Measurements heights{};
};

}  // namespace starter
