// Reads the estimator's console trace back into numbers.
#pragma once

#include <string>
#include <vector>

struct IterationSummary {
  int iter = -1;
  double funct = 0, dmax = 0, gmax = 0, alpha = 0;
  int npd = -1, npd0 = -1;
  std::vector<double> globals;
};

struct TrialPass {
  double alpha = 0;
  std::vector<std::string> plot_lines;
};

struct Trace {
  std::vector<TrialPass> trials;
  std::vector<IterationSummary> summaries;
  int warnings = 0;
};

Trace parse_trace(const std::string& console);
std::vector<std::string> split_lines(const std::string& text);
