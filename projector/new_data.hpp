// New plots for a finished run (--new-data RAW): a raw data file in the
// preparer's format and the run's raw units, read through the preparer's
// reader (common/raw_data_reader.hpp). A first pass checks the whole file
// (ages not decreasing, heights greater than 0, at most 99 measurements) and
// counts its plots and measurements; the second fits each plot's locals with
// the run's globals held (new_plot_locals.hpp; for a random-locals fit the
// locals stay random and the plot is handed on with the population's means)
// and hands it on as a plot of the run, in the run's scaled units. An identifier given to two plots is
// refused: the first pass marks identifiers in a fixed bitmap of their
// hashes, and the second counts exactly those it marked twice, so that
// memory does not grow with the number of plots. Every fault ends the run
// (status 2) with a message naming the file, the line and the value.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "projector/new_plot_locals.hpp"
#include "projector/plot_pass.hpp"
#include "projector/projection_tables.hpp"
#include "projector/run_results.hpp"

namespace projector {

struct NewDataScan {
  std::int64_t plots = 0;
  std::int64_t measurements = 0;
  std::vector<std::int32_t> suspects;  // identifiers whose hash was marked before, sorted
};

NewDataScan scan_new_data(const std::string& path);

// `visit` gets every plot whose locals are determined, `left_out` every other
// one (its place in the file, identifier and measurements) with the reason.
void for_each_new_plot(const RunResults& run, const std::string& path, const Units& units, const NewDataScan& scan,
                       const std::function<void(const PlotData&, const NewPlotLocals&)>& visit,
                       const std::function<void(const PlotData&, const std::string&)>& left_out);

}  // namespace projector
