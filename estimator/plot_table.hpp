// The per-plot results as CSV: position, identifier, measurements, plot
// objective, then each local and its standard error. One row per plot, written
// as the report's pass reaches it.
#pragma once

#include "estimator/report.hpp"
#include "io/csv_writer.hpp"

namespace estimator {

class PlotTable : public PlotRows {
 public:
  PlotTable(io::TextWriter& out, int model, int nl);
  void row(int position, int id, int n, double f, std::span<const double> locals,
           std::span<const double> standard_errors) override;

 private:
  io::CsvWriter csv_;
};

}  // namespace estimator
