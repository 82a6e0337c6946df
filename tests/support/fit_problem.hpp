// Builds estimator inputs in a scratch directory: a data file and a
// local-parameter file written with the preparer's writers, and a control file.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

struct TestPlot {
  int id;
  std::vector<double> ages;
  std::vector<double> heights;
  std::vector<double> locals;  // starting values
};

struct ControlSettings {
  std::string title = "TEST RUN";
  int ng = 4;
  int nl = 1;
  int np = -1;  // -1: the number of plots
  std::array<int, 4> units{1, 1, 1, 1};
  int mfreq = 1;
  int itlim = 50;
  double tol = 1e-8;
  std::vector<double> globals;  // the first ng are written
  int model = 1;
  double k1 = 1.0;
  double k2 = 1.0;
};

struct FitFiles {
  std::string control, data, locals, report;
  std::vector<std::string> args() const { return {control, data, locals, report}; }
};

FitFiles write_fit_problem(const TempDir& dir, const std::vector<TestPlot>& plots, const ControlSettings& settings,
                           const std::string& prefix = "fit");
std::string control_text(const ControlSettings& settings, int np);

// Plots simulated from model 1 (local asymptote): globals b, c, sigma_p,
// sigma_e; the asymptote of each plot drawn around `mean_asymptote`.
std::vector<TestPlot> simulate_model1(unsigned seed, int plots, int measurements, const std::vector<double>& globals,
                                      double mean_asymptote, double spread, double start_asymptote);
