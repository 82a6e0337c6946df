// Figure (a): small multiples of up to 16 plots, each with its measured
// heights, the conditional median of its true height over age and the band of
// its interval at the chosen level. The plots are collected during the pass
// over the plots (the first 16 of those selected); all panels share axes.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "projector/plot_pass.hpp"
#include "projector/plot_projection.hpp"
#include "projector/projection_tables.hpp"

namespace projector {

struct FigureText {
  std::string age_unit;
  std::string height_unit;
  double level;
  bool full_intervals = false;  // the plot figure's bands carry the estimates' uncertainty (--intervals full)
};

class PlotFigure {
 public:
  static constexpr int kMaxPlots = 16;
  static constexpr int kCurveAges = 121;

  // `last_age`: the curves run to this scaled age at least (NaN: to the last measurement).
  PlotFigure(double last_age, double z);
  // Overwrites the height intervals of a projection at m ages (those over
  // draws: of a random-locals plot's locals from their conditional
  // distribution, or, for full intervals, of the plot's parameters).
  using Band = std::function<void(int m, const double* ages, PlotProjection& out)>;

  bool wants_more() const { return count_ < kMaxPlots; }
  void add(const PlotData& plot, const Band& band = {});
  void write(const std::string& path, const Units& units, const FigureText& text) const;
  // Empties the figure for the next page of plots.
  void clear();
  int count() const { return count_; }

 private:
  struct Entry {
    std::int32_t id;
    int n;
    model::Measurements ages, heights;
    std::array<double, kCurveAges> curve_ages;
    std::array<HeightInterval, kCurveAges> curve;
  };
  double last_age_, z_;
  int count_ = 0;
  std::vector<Entry> entries_;
};

}  // namespace projector
