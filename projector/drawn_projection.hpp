// Intervals that carry the estimates' uncertainty: the plot's height at each
// requested age (and a new measurement there) over K draws of its curve
// parameters (curve_draws.hpp). For draw k the state given the measurements
// is Normal (the smoother, state_smoother.hpp, at the drawn curve), one
// standard normal e_k per age gives the state mean + e_k sd (and, for a new
// measurement, mean + e_k sqrt(sd^2 + sigma_e^2)) and the drawn curve's scale
// takes it back to a height. The e_k are stratified: e_k = Phi^-1((pi(k) +
// 1/2) / K) for a random permutation pi of the plot, so that the state's own
// spread, the larger part within the measured ages, adds almost no Monte
// Carlo noise. The median and the bounds are the quantiles p = 1/2 and
// (1 -+ level) / 2 of the K heights (order statistics at rank p (K + 1),
// interpolated): Monte Carlo quantiles of the mixture. An age at which a draw has no height
// (before its start age) gets NaN. The draws of a plot come from a stream
// seeded by its place in the file, so the output does not depend on the order
// or the number of threads in which plots are handled.
#pragma once

#include <vector>

#include "projector/curve_draws.hpp"
#include "projector/plot_projection.hpp"

namespace projector {

inline constexpr int kDefaultDraws = 1000;
inline constexpr int kMaxDraws = 100000;
inline constexpr std::uint64_t kDrawSeed = 20261210;

class DrawnProjection {
 public:
  // At most `ages` requested ages per plot.
  DrawnProjection(int draws, double level, int ages);
  // Overwrites the height and measurement intervals of out.at_ages[0 .. m-1].
  void project(CurveDraws& curves, const PlotData& plot, int m, const double* requested, PlotProjection& out);

 private:
  HeightInterval quantiles(double* values) const;
  double quantile(double* values, double p) const;

  int draws_;
  double low_, high_;
  std::vector<double> heights_, measured_;  // age j, draw k at j * K + k; made once
  std::vector<double> strata_;              // Phi^-1((i + 1/2) / K)
  std::vector<int> order_;                  // the plot's permutation
};

}  // namespace projector
