// The globals that maximise the likelihood of a sample of plots, each plot's
// locals at their conditional optimum: Ceres' BFGS line-search minimiser on
// the profile objective (profile.hpp), in variables that make the profile's
// Hessian at the first point the identity.
#pragma once

#include <vector>

#include "common/plot.hpp"
#include "model/model_records.hpp"
#include "starter/profile.hpp"

namespace starter {

struct SampleFit {
  model::Globals globals{};
  bool usable = false;  // the objective was finite at the first point
  double objective = 0.0;
  int iterations = 0;
};

SampleFit fit_sample(const std::vector<common::Plot>& plots, const ProfileSettings& settings,
                     const model::Globals& first);

// The likelihood of the deviations can have more than one maximum (the
// noise all process noise, or all measurement error): the sample is fitted
// from the first point and from two others that give the process and error
// deviations together the same variance, split 95:5 and 5:95 between them;
// the best of the three (the first of equal ones) is chosen on at most 500
// plots taken evenly from the sample, and refined on the whole sample.
SampleFit fit_sample_from_splits(const std::vector<common::Plot>& plots, const ProfileSettings& settings,
                                 const model::Globals& first);

}  // namespace starter
