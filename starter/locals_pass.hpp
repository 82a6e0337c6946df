// The second pass over the plots: every plot's starting locals (their
// conditional optimum at the starting globals) written into its record of
// the local-parameter file. Only the locals change: the identifier is
// written back as it was, and the rest of the record is left alone.
#pragma once

#include <cstdint>

#include "estimator/shared_records.hpp"
#include "starter/plot_files_in.hpp"
#include "starter/profile.hpp"

namespace starter {

struct LocalsPassResult {
  double objective = 0.0;       // total objective at the start
  std::int64_t runaway = 0;     // plots whose rate ran to an end of its range
  std::int64_t first_runaway = 0;
  int first_runaway_id = 0;
};

LocalsPassResult write_start_locals(PlotFiles& files, const ProfileSettings& settings,
                                    const estimator::Globals& globals);

}  // namespace starter
