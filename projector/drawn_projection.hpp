// Intervals that carry the estimates' uncertainty: the plot's height at each
// requested age (and a new measurement there) over K draws of its curve
// parameters (curve_draws.hpp). For draw k the state given the measurements
// is Normal (the smoother, state_smoother.hpp, at the drawn curve), one
// standard normal e_k per age gives the state mean + e_k sd (and, for a new
// measurement, mean + e_k sqrt(sd^2 + sigma_e^2)) and the drawn curve's scale
// takes it back to a height. The median and the bounds are the order
// statistics of the K heights at ranks round(p (K - 1)), p = 1/2 and
// (1 -+ level) / 2: Monte Carlo quantiles of the mixture, whose error in
// coverage is about sqrt(p (1 - p) / K). An age at which a draw has no height
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
  DrawnProjection(int draws, double level);
  // Overwrites the height and measurement intervals of out.at_ages[0 .. m-1].
  void project(CurveDraws& curves, const PlotData& plot, int m, const double* requested, PlotProjection& out);

 private:
  HeightInterval quantiles(double* values) const;

  int draws_;
  double low_, high_;
  std::vector<double> heights_, measured_;  // age j, draw k at j * K + k; made once
};

}  // namespace projector
