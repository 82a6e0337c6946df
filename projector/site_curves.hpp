// Site-index curves (--site-curves LIST --base-age T): for each site index S
// the curve of the model without noise that passes through (T, S), found by
// solving h(T) = S for the plot's local (for a model with two locals, the
// asymptote, with the rate held at its weighted mean over the run's plots,
// as the outputs say; for a random-locals fit at its population mean). h rises with the local; the root is bracketed on the
// grid reference × 4^k, k = -15 .. 15 (the reference the run's weighted mean
// of the local), and found by TOMS 748 to the last bits of the local. A site
// index that no local on the grid reaches is refused (status 2) with the
// range the curves reach at T.
//
// The table (--site-curve-table FILE, with --ages):
//   site_index,base_age,age,height,a,...,held
// one row per site index and age (the listed ages and the base age), heights
// and the locals in the projector's units; `held` names the local held and
// its value, or is empty. The figure (--site-curve-figure FILE): the family
// over the ages from 0 to the last of --ages and the base age, each curve
// labelled "SI <value>" at its right end, the base age marked, and the
// plots of the pass drawn faintly behind (at most about 300 of them).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/model_records.hpp"
#include "projector/plot_figure.hpp"
#include "projector/plot_pass.hpp"
#include "projector/projection_tables.hpp"
#include "projector/run_results.hpp"

namespace projector {

struct SiteCurve {
  double site_index = 0.0;  // in the projector's units
  model::Locals locals{};
  model::Curve curve{};
};

struct SiteCurves {
  double base_age = 0.0;  // scaled
  std::vector<SiteCurve> curves;
  int solved = -1;  // the local solved for
  int held = -1;    // the local held at its weighted mean, or -1
};

// Site indices and the base age in the projector's units.
SiteCurves solve_site_curves(const RunResults& run, const std::vector<double>& site_indices, double base_age,
                             const Units& units);

void write_site_curve_table(const std::string& path, const RunResults& run, const SiteCurves& curves,
                            const AgeGrid& grid, const Units& units);

class SiteCurveFigure {
 public:
  SiteCurveFigure(const std::string& path, const SiteCurves& curves, double last_age, std::int64_t plots,
                  const Units& units, const FigureText& text);
  ~SiteCurveFigure();
  SiteCurveFigure(const SiteCurveFigure&) = delete;
  SiteCurveFigure& operator=(const SiteCurveFigure&) = delete;
  void add(const PlotData& plot);
  void write();

  struct Drawing;

 private:
  std::unique_ptr<Drawing> drawing_;
};

}  // namespace projector
