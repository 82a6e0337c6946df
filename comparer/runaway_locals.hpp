// Plots whose fitted locals ran away: a local that is not finite, not
// positive (every local is an asymptote or a rate), more than 100 times the
// average of its absolute values over the plots, or below a 1000th of it.
// One pass over the local-parameter file after the run.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/limits.hpp"

namespace comparer {

struct Runaways {
  std::int64_t plots = 0;  // plots with a local that ran away
  std::int64_t first = 0;  // the first of them (position), its identifier, local and value
  int first_id = 0;
  int first_local = 0;
  double first_value = 0.0;
};

Runaways find_runaways(const std::string& locals_path, std::int64_t plots, int nl,
                       const std::array<double, common::kMaxLocals>& average_magnitude);

}  // namespace comparer
