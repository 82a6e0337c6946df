// One pass over the plots of a finished run, in file order: each plot's
// measurements from the data file, its locals from the local-parameter file
// (opened read-only), and its curve parameters at the run's globals. The
// identifiers of the two files must agree plot by plot, the files must hold
// exactly the run's plots, and their fingerprints must be those the results
// file carries (a random-locals fit's file carries none: then the counts of
// plots and measurements must be the run's); otherwise the pass ends with a message naming the file. The
// caller commits its outputs only after the pass has returned.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "common/limits.hpp"
#include "common/plot.hpp"
#include "model/model_records.hpp"
#include "projector/run_results.hpp"

namespace projector {

// A plot of the data file with its place, its locals and its curve.
struct PlotData : common::Plot {
  std::int64_t position = 0;  // from 1
  model::Locals locals{};
  model::Curve curve{};
  // The reals of its local-parameter record (locals, work block, factor:
  // common/plot_file_layout.hpp); zero for a new plot.
  std::array<double, common::kRecordReals> record{};
};

struct PlotFiles {
  std::string data;
  std::string locals;
};

// `progress` is true to report progress on the error stream.
void for_each_plot(const RunResults& run, const PlotFiles& files, bool progress,
                   const std::function<void(const PlotData&)>& visit);

// Another pass over the locals alone, record by record: the file must still
// hold the run's plots, with the fingerprint the results file carries.
void for_each_record(const RunResults& run, const std::string& locals_path,
                     const std::function<void(const model::Locals&)>& visit);

}  // namespace projector
