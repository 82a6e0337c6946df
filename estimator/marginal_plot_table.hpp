// The per-plot results of a random-locals fit as CSV: position, identifier,
// measurements, the plot's marginal term, then for each local its
// conditional mode and conditional standard deviation (and, for two locals,
// their conditional correlation). One row per plot, written as the last pass
// reaches it.
#pragma once

#include "estimator/plot_kernels.hpp"
#include "io/csv_writer.hpp"

namespace estimator {

class MarginalPlotTable {
 public:
  MarginalPlotTable(io::TextWriter& out, int model, int nl);
  void row(int position, const PlotSlot& slot);

 private:
  io::CsvWriter csv_;
  int nl_;
};

}  // namespace estimator
