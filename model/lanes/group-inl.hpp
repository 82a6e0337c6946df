// A group of plots evaluated side by side, one plot per lane. The plots may
// have different numbers of measurements: at step i each lane takes its plot's
// measurement i, or repeats its last one once its plot has ended, and the
// caller collects a lane's results at its plot's last step. Lanes beyond the
// plots of a short group repeat the group's first plot; their results are
// dropped.
//
// Included by a path's kernel file once GROWTH_LANES names the path.
#ifndef GROWTH_LANES
#error "GROWTH_LANES must name the path (plain or avx2) before this file is included"
#endif
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

#include "model/lanes/likelihood_kernels.hpp"

namespace model::lanes::GROWTH_LANES {

inline constexpr std::size_t kLanes = static_cast<std::size_t>(kWidth);

struct Group {
  int count = 0;  // plots in the group, 1 .. kWidth
  std::array<const double*, kLanes> ages{};
  std::array<const double*, kLanes> heights{};
  std::array<int, kLanes> last{};  // index of each plot's last measurement
  int steps = 0;                   // the largest count of measurements
  Lane n;                          // each plot's count of measurements
  Lane last_step;                  // `last` as doubles
  std::array<Lane, 8> curve;       // the curve parameters
};

inline Group make_group(const KernelPlot* plots, int count) {
  Group g;
  g.count = count;
  std::array<double, kLanes> n{}, last{};
  std::array<std::array<double, kLanes>, 8> curve{};
  for (std::size_t j = 0; j < kLanes; ++j) {
    const KernelPlot& p = plots[static_cast<int>(j) < count ? j : 0];
    g.ages[j] = p.ages;
    g.heights[j] = p.heights;
    g.last[j] = std::max(p.n - 1, 0);
    g.steps = std::max(g.steps, g.last[j] + 1);
    n[j] = p.n;
    last[j] = g.last[j];
    for (std::size_t k = 0; k < 8; ++k) curve[k][j] = (*p.curve)[k];
  }
  g.n = load(n.data());
  g.last_step = load(last.data());
  for (std::size_t k = 0; k < 8; ++k) g.curve[k] = load(curve[k].data());
  return g;
}

// Measurement i of every lane's plot (the last one once a plot has ended).
inline Lane measurement(const Group& g, const std::array<const double*, kLanes>& values, int i) {
  std::array<double, kLanes> v;
  for (std::size_t j = 0; j < kLanes; ++j) v[j] = values[j][std::min(i, g.last[j])];
  return make(v);
}

inline bool some_plot_ends(const Group& g, int i) { return std::find(g.last.begin(), g.last.end(), i) != g.last.end(); }
inline Mask ends_at(const Group& g, int i) { return g.last_step == static_cast<double>(i); }

// Lane j of x for each plot of the group.
template <class Write>
inline void for_each_plot(const Group& g, const Lane& x, Write write) {
  std::array<double, kLanes> v;
  store(x, v.data());
  for (int j = 0; j < g.count; ++j) write(j, v[static_cast<std::size_t>(j)]);
}

}  // namespace model::lanes::GROWTH_LANES
