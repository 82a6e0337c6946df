// Every plot's starting locals: their conditional optimum at the starting
// globals. The first pass computes them into a scratch file and lists the
// plots whose rate runs to an end of its range; only when there are none
// does the second pass put them into the records of the local-parameter
// file. Only the locals change: the identifier is written back as it was,
// and the rest of each record is left alone.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "io/csv_writer.hpp"
#include "model/model_records.hpp"
#include "starter/plot_files_in.hpp"
#include "starter/population_fit.hpp"
#include "starter/profile.hpp"

namespace starter {

// Scratch file of the locals, NP x NL doubles, removed when closed.
using Spill = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
Spill open_spill();

struct LocalsPassResult {
  double objective = 0.0;    // total objective at the start
  std::int64_t runaway = 0;  // plots whose rate ran to an end of its range
  std::int64_t first_runaway = 0;
  int first_runaway_id = 0;
  std::int64_t extreme = 0;  // plots whose best rate is interior but beyond 1024 times the typical rate
  std::int64_t first_extreme = 0;
  int first_extreme_id = 0;
};

// Each runaway plot also gets a row (position, id, its locals) in `runaways`.
LocalsPassResult compute_start_locals(PlotFiles& files, const ProfileSettings& settings, const model::Globals& globals,
                                      std::FILE* spill, io::CsvWriter& runaways);

// The mean and covariance of the scratch file's locals.
LocalsMoments spill_moments(std::FILE* spill, std::int64_t plots, int nl);

// Each plot's locals from the scratch file into its record, through `spread`
// when it is given.
void write_start_locals(PlotFiles& files, std::FILE* spill, int nl, const LocalsSpread* spread = nullptr);

}  // namespace starter
