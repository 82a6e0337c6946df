// The curve parameters each model moves: those a global or a local is, the
// asymptote where it is tied to the rate, and the start level of a fixed
// start, which is a power of the power c and so moves with it. The
// derivative transformation of a model reads the curve derivatives of these
// parameters only, so the plot objective need not be differentiated with
// respect to the others. All of it read off the catalogue's rows.
#pragma once

#include <algorithm>
#include <array>
#include <bit>

#include "model/catalogue.hpp"
#include "model/curve.hpp"

namespace model {

constexpr CurveMask moved_parameters(const ModelEntry& m) {
  CurveMask moved = 0;
  for (const Role role : m.globals)
    if (curve_position(role) >= 0) moved |= curve_bit(curve_position(role));
  for (const Role role : m.locals)
    if (curve_position(role) >= 0) moved |= curve_bit(curve_position(role));
  if (m.tied != TiedAsymptote::none) moved |= curve_bit(kCurveA);
  if (m.fixed_start) moved |= curve_bit(kCurveY0);
  return moved;
}

constexpr CurveMask moved_parameters(int model) { return moved_parameters(catalogue_entry(model)); }

// The likelihood kernels always carry the derivatives of these (their
// recursion is written for them), and of a model's moved parameters besides.
inline constexpr CurveMask kAlwaysMoved =
    curve_bit(kCurveA) | curve_bit(kCurveB) | curve_bit(kCurveC) | curve_bit(kCurveSp) | curve_bit(kCurveSe);

// The kernels' derivative sets: the distinct sets of the catalogue, with the
// full set, smallest first (then by value).
namespace derivative_sets {

struct Sets {
  std::array<CurveMask, kModelCount + 1> sets{};
  int count = 0;
};

constexpr Sets distinct() {
  Sets s;
  const auto add = [&s](CurveMask set) {
    if (std::find(s.sets.begin(), s.sets.begin() + s.count, set) == s.sets.begin() + s.count)
      s.sets[static_cast<std::size_t>(s.count++)] = set;
  };
  for (const ModelEntry& m : kCatalogue) add(moved_parameters(m) | kAlwaysMoved);
  add(kAllCurveParameters);
  std::sort(s.sets.begin(), s.sets.begin() + s.count, [](CurveMask x, CurveMask y) {
    return std::popcount(x) != std::popcount(y) ? std::popcount(x) < std::popcount(y) : x < y;
  });
  return s;
}

}  // namespace derivative_sets

inline constexpr auto kDerivativeSets = [] {
  constexpr derivative_sets::Sets s = derivative_sets::distinct();
  std::array<CurveMask, static_cast<std::size_t>(s.count)> sets{};
  std::copy_n(s.sets.begin(), s.count, sets.begin());
  return sets;
}();

// Index in kDerivativeSets of the smallest set holding `moved`.
constexpr int derivative_set_index(CurveMask moved) {
  for (int i = 0; i < static_cast<int>(kDerivativeSets.size()); ++i)
    if ((kDerivativeSets[static_cast<std::size_t>(i)] & moved) == moved) return i;
  return static_cast<int>(kDerivativeSets.size()) - 1;
}

}  // namespace model
