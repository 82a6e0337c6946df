// The first pass over the plots: checks that the two plot files belong
// together and suit the model, counts what the data hold, and keeps a
// systematic sample of plots (every (NP / S)-th plot, all of them when there
// are at most S) for fitting the globals.
#pragma once

#include <cstdint>
#include <vector>

#include "common/plot.hpp"
#include "starter/model_roles.hpp"
#include "starter/plot_files_in.hpp"

namespace starter {

struct DataSummary {
  std::int64_t plots = 0;
  std::int64_t measurements = 0;
  // Measurements at distinct ages beyond the locals of their plot, summed
  // over the plots: what is left to estimate the globals from.
  std::int64_t spare = 0;
  std::vector<common::Plot> sample;
};

// Refuses (with the plot at fault) heights that are not positive, plots with
// fewer distinct ages than locals, a local-parameter file holding more locals
// than the model, and data too few for the model's globals.
DataSummary scan_plots(PlotFiles& files, const ModelRoles& roles, std::int64_t sample_size);

}  // namespace starter
