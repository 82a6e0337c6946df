// Writes a results file, through the estimator's own writer, for given
// globals and a run's plot files (the fingerprints, plots and measurements
// are taken from the files), so that the projector can be tested on chosen
// parameters.
#pragma once

#include <string>
#include <vector>

struct ResultsSettings {
  int model = 1;
  double k1 = 1.0, k2 = 1.0;
  std::vector<double> globals;
  std::vector<double> local_averages;
  // The data's scales, as a run that found the preparer's metadata gives them.
  bool scales = true;
  double age_scale = 1.0, height_scale = 1.0;
};

void write_results_file(const std::string& path, const ResultsSettings& settings, const std::string& data_path,
                        const std::string& locals_path);
