// Names of a random-locals fit's population parameters, for its results
// files: "mean_<local>", "sd_<local>" and, for two locals, "correlation".
#pragma once

#include <string>
#include <vector>

namespace estimator {

std::vector<std::string> population_names(int model, int nl);

}  // namespace estimator
