// The new plots' locals (--new-locals FILE): one CSV row per plot of the new
// data file, in file order,
//   position,id,measurements,objective,a,se_a,left_out
// with each local and its standard error in the projector's units (a in
// height units, b per unit of age: model/raw_units.hpp), and for a plot whose
// locals its measurements cannot determine, NaN locals and the reason in
// `left_out` (empty for the others).
//
// For the results of a random-locals fit a new plot's locals stay random:
// its row holds the quantities the estimator's --plots table gives for the
// fitted plots, under the same names, at the fit's outer parameters,
//   position,id,measurements,marginal_term,mode_a,sd_a,...[,correlation],left_out
// (the marginal term, each local's conditional mode and conditional standard
// deviation, and for two locals their conditional correlation), the locals in
// the projector's units.
#pragma once

#include <memory>
#include <string>

#include "io/csv_writer.hpp"
#include "io/text_writer.hpp"
#include "model/marginal/marginal_term.hpp"
#include "projector/new_plot_locals.hpp"
#include "projector/plot_pass.hpp"
#include "projector/projection_tables.hpp"

namespace projector {

class NewLocalsTable {
 public:
  NewLocalsTable(const std::string& path, int model, const Units& units, bool random_locals);
  void add(const PlotData& plot, const NewPlotLocals& fit);
  // A plot of a random-locals fit: its conditional distribution.
  void add(const PlotData& plot, const model::marginal::PlotMarginal& conditional);
  void left_out(const PlotData& plot, const std::string& reason);
  void commit();

 private:
  struct Table;
  std::shared_ptr<Table> table_;
  int nl_ = 0;
  bool random_ = false;
  std::array<double, common::kMaxLocals> factors_{};
};

}  // namespace projector
