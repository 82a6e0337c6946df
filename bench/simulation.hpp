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
  // Ages (the same for every plot, at or after the start age) at which the
  // true heights, without measurement error, are written to a truth file.
  std::vector<double> truth_ages;
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

// Where the truth goes: "identifier age true-height" lines at the truth ages,
// and "identifier local1 local2 ..." lines of every plot's drawn locals (a
// parameter text file for the preparer).
struct TruthFiles {
  std::FILE* heights = nullptr;
  std::FILE* locals = nullptr;
};

// Writes the raw data file: one "identifier age height" line per measurement;
// and the truth when asked. Without truth ages the data do not change.
void write_raw_data(const SimulationSettings& settings, std::FILE* out, const TruthFiles& truth = {});
// The preparer's answers (scales 1, no parameter file, starting locals at
// their means) and the estimator's control file (starting globals at the truth).
std::string preparer_answers(const SimulationSettings& settings);
std::string control_file(const SimulationSettings& settings);

}  // namespace bench
