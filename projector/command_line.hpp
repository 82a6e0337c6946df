// The projector's command line: three file names, then options (--help,
// --version and wrong calls as every program of the project answers them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "projector/plot_pass.hpp"
#include "projector/projection_tables.hpp"

namespace projector {

struct FigureFiles {
  std::string plots;      // observed heights, median curve and band
  std::string curves;     // guide curves
  std::string residuals;  // residual diagnostics
};

struct Options {
  std::string results;
  PlotFiles plot_files;
  TableFiles tables;
  FigureFiles figures;
  bool plot_pages = false;  // the plot figure on pages of 16 plots, every plot (plot_figure_pages.hpp)
  std::vector<double> ages;  // as typed (raw units when --age-scale is given)
  double level = 0.9;
  // --intervals full: the intervals carry the estimates' uncertainty, over
  // `draws` draws of the plot's parameters (drawn_projection.hpp).
  bool full_intervals = false;
  int draws = 1000;
  std::vector<std::int32_t> ids;  // empty: every plot
  std::optional<double> base_age;
  std::vector<double> quantiles = {0.1, 0.5, 0.9};
  // The preparer's scales as the call gives them; `units` holds the scales
  // the run works with once the results file is read (data_units.hpp).
  std::optional<double> age_scale, height_scale;
  bool scaled_units = false;
  Units units;
  std::string age_unit = "scaled units";
  std::string height_unit = "scaled units";
  std::string summary_page;  // empty: none
  std::string comparison;    // the comparer's table shown on the summary page
  std::string new_data;      // new plots: a raw data file (empty: the run's plots)
  std::string new_locals;    // the new plots' locals (CSV)
  std::vector<double> site_curves;  // site indices of the site-index curves
  std::string site_curve_table, site_curve_figure;
  std::string population;  // a plot not measured: the population's heights (CSV)
};

Options parse_command_line(int argc, char** argv);

}  // namespace projector
