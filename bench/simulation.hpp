// Data simulated exactly from the growth model: per plot, the
// Ornstein-Uhlenbeck state on the power scale plus measurement error, back
// transformed to heights. Deterministic for a seed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct SimulationSettings {
  int model = 1;
  std::vector<double> globals;
  std::vector<std::pair<double, double>> locals;  // mean and standard deviation of each local
  long long plots = 1000;
  int measurements = 10;
  // When above `measurements`: each plot draws its number of measurements
  // uniformly from measurements .. max_measurements.
  int max_measurements = 0;
  double first_age = 1.0;
  double spacing = 2.0;
  std::uint64_t seed = 1;
  double k1 = 1.0;
  double k2 = 1.0;
  // Settings written into the control file.
  int mfreq = 0;
  int itlim = 50;
  double tol = 1e-8;
};

// Writes the raw data file: one "identifier age height" line per measurement.
void write_raw_data(const SimulationSettings& settings, std::FILE* out);
// The preparer's answers (scales 1, no parameter file, starting locals at
// their means) and the estimator's control file (starting globals at the truth).
std::string preparer_answers(const SimulationSettings& settings);
std::string control_file(const SimulationSettings& settings);

}  // namespace bench
