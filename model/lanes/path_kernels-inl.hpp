// A path's kernels over any number of plots, a group of kWidth plots at a
// time, and its table for the run-time choice.
//
// Included by a path's kernel file once GROWTH_LANES names the path.
#ifndef GROWTH_LANES
#error "GROWTH_LANES must name the path (plain or avx2) before this file is included"
#endif

#include <algorithm>
#include <span>
#include <utility>

#include "model/lanes/group_ders-inl.hpp"
#include "model/lanes/group_funct-inl.hpp"
#include "model/lanes/path_kernels.hpp"

namespace model::lanes::GROWTH_LANES {

// f(first, count) for each group of the plots.
template <class F>
inline void each_group(std::size_t plots, F f) {
  for (std::size_t first = 0; first < plots; first += kLanes)
    f(first, static_cast<int>(std::min(kLanes, plots - first)));
}

inline void funct_plots(std::span<const KernelPlot> plots, std::span<double> f) {
  each_group(plots.size(), [&](std::size_t first, int count) {
    funct_group(make_group(plots.data() + first, count), f.data() + first);
  });
}

template <CurveMask P>
void ders_plots(std::span<const KernelPlot> plots, std::span<CurveGradient> fgrad, std::span<CurveHessian> fhess) {
  each_group(plots.size(), [&](std::size_t first, int count) {
    ders_group<P>(make_group(plots.data() + first, count), fgrad.data() + first, fhess.data() + first);
  });
}

// The lane math over arrays; a short last vector is filled with the value 1.
template <class F>
inline void each_vector(std::size_t values, F f) {
  for (std::size_t first = 0; first < values; first += kLanes) f(first, std::min(kLanes, values - first));
}
inline Lane load_part(std::span<const double> x, std::size_t first, std::size_t count) {
  if (count == kLanes) return load(x.data() + first);
  std::array<double, kLanes> v;
  v.fill(1.0);
  std::copy_n(x.begin() + static_cast<std::ptrdiff_t>(first), count, v.begin());
  return load(v.data());
}
inline void store_part(const Lane& r, std::span<double> out, std::size_t first, std::size_t count) {
  if (count == kLanes) return store(r, out.data() + first);
  std::array<double, kLanes> v;
  store(r, v.data());
  std::copy_n(v.begin(), count, out.begin() + static_cast<std::ptrdiff_t>(first));
}

inline void exp_values(std::span<const double> x, std::span<double> out) {
  each_vector(x.size(), [&](std::size_t i, std::size_t m) { store_part(math::exp(load_part(x, i, m)), out, i, m); });
}
inline void log_values(std::span<const double> x, std::span<double> out) {
  each_vector(x.size(), [&](std::size_t i, std::size_t m) { store_part(math::log(load_part(x, i, m)), out, i, m); });
}
inline void pow_values(std::span<const double> x, std::span<const double> y, std::span<double> out) {
  each_vector(x.size(), [&](std::size_t i, std::size_t m) {
    store_part(math::pow(load_part(x, i, m), load_part(y, i, m)), out, i, m);
  });
}

const PathKernels& path_kernels() {
  static constexpr PathKernels kKernels = []<std::size_t... I>(std::index_sequence<I...>) {
    return PathKernels{kWidth, funct_plots, {ders_plots<kDerivativeSets[I]>...}, {exp_values, log_values, pow_values}};
  }
  (std::make_index_sequence<kDerivativeSets.size()>{});
  return kKernels;
}

}  // namespace model::lanes::GROWTH_LANES
