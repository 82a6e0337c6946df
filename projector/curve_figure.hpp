// Figure (b): the guide-curve family. Height over age along the curve of the
// model without noise, h(t) = [a^c + (y0 - a^c) exp(-b (t - t0))]^(1/c), at the
// run's globals with the locals at their measurement-weighted averages (from
// the results file) and with every local at the same quantile of its values
// over the plots. The quantiles come from a histogram of 65536 bins over each
// local's range (one more pass over the local-parameter file), so they are
// exact to 1/65536 of the range; memory stays flat. For a random-locals fit
// the locals have a population distribution, Normal(mu, Psi): the curves are
// at its means and with every local at the quantile mu_l + sqrt(Psi_ll)
// Phi^-1(q) of its own Normal (no pass over the plots' locals), as the title
// and the legend say.
#pragma once

#include <array>
#include <limits>
#include <string>
#include <vector>

#include "common/limits.hpp"
#include "projector/plot_figure.hpp"
#include "projector/run_results.hpp"

namespace projector {

// What the pass over the plots gathers for the guide curves: each local's
// range and the range of the measured ages.
struct LocalsSummary {
  std::array<double, common::kMaxLocals> lo, hi;
  double age_hi = -std::numeric_limits<double>::infinity();
  LocalsSummary() {
    lo.fill(std::numeric_limits<double>::infinity());
    hi.fill(-std::numeric_limits<double>::infinity());
  }
  void add(const PlotData& plot, int nl);
};

// `ages`: the ages of --ages as typed (the axis's units); the age axis spans
// them, or, when none are given, runs from 0 to past the last measured age.
void write_curve_figure(const std::string& path, const RunResults& run, const std::string& locals_path,
                        const LocalsSummary& summary, const std::vector<double>& ages,
                        const std::vector<double>& quantiles, const Units& units, const FigureText& text);

}  // namespace projector
