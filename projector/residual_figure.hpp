// Figure (c): residual diagnostics from the standardised innovations:
// against age, against fitted height, and a normal Q-Q plot. Memory stays
// flat in the number of plots: the scatter panels show a deterministic
// subsample (every k-th measurement in file order, k chosen from the run's
// number of measurements so that about kPoints are shown), and the Q-Q plot
// takes its sample quantiles from a fine histogram of all innovations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "projector/histogram.hpp"
#include "projector/plot_figure.hpp"

namespace projector {

// The standardised innovations in numbers: their count, mean, variance,
// share beyond +-2 and quantiles (2.5%, 50%, 97.5%, to the histogram's 0.001).
struct ResidualSummary {
  std::int64_t count = 0;
  double mean = 0, variance = 0, beyond_two = 0;
  double low = 0, median = 0, high = 0;
};

class ResidualFigure {
 public:
  static constexpr std::int64_t kPoints = 3000;

  explicit ResidualFigure(std::int64_t measurements);
  void add(const PlotData& plot, const PlotProjection& projection);
  void write(const std::string& path, const Units& units, const FigureText& text) const;
  ResidualSummary summary() const;

 private:
  struct Point {
    double age, fitted, innovation;
  };
  std::int64_t stride_;
  std::int64_t seen_ = 0;
  std::vector<Point> points_;
  Histogram histogram_;
  double sum_ = 0, squares_ = 0;
  std::int64_t beyond_two_ = 0;
};

}  // namespace projector
