// The new plots' locals (--new-locals FILE): one CSV row per plot of the new
// data file, in file order,
//   position,id,measurements,objective,a,se_a,left_out
// with each local and its standard error in the projector's units (a in
// height units, b per unit of age: model/raw_units.hpp), and for a plot whose
// locals its measurements cannot determine, NaN locals and the reason in
// `left_out` (empty for the others).
#pragma once

#include <memory>
#include <string>

#include "io/csv_writer.hpp"
#include "io/text_writer.hpp"
#include "projector/new_plot_locals.hpp"
#include "projector/plot_pass.hpp"
#include "projector/projection_tables.hpp"

namespace projector {

class NewLocalsTable {
 public:
  NewLocalsTable(const std::string& path, int model, const Units& units);
  void add(const PlotData& plot, const NewPlotLocals& fit);
  void left_out(const PlotData& plot, const std::string& reason);
  void commit();

 private:
  struct Table;
  std::shared_ptr<Table> table_;
  int nl_ = 0;
  std::array<double, common::kMaxLocals> factors_{};
};

}  // namespace projector
