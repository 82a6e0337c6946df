#include "projector/histogram.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace projector {

Histogram::Histogram(double lo, double hi, int bins)
    : lo_(lo), width_(hi > lo ? (hi - lo) / bins : 0.0), counts_(static_cast<std::size_t>(bins), 0) {}

void Histogram::add(double x) {
  if (std::isnan(x)) return;
  // No width (every value the same): everything in the first bin.
  const double k = width_ > 0 ? std::floor((x - lo_) / width_) : 0.0;
  const double last = static_cast<double>(counts_.size() - 1);
  ++counts_[static_cast<std::size_t>(std::clamp(k, 0.0, last))];
  ++count_;
}

double Histogram::quantile(double p) const {
  if (count_ == 0) return std::numeric_limits<double>::quiet_NaN();
  const double target = p * static_cast<double>(count_);
  double below = 0;
  for (std::size_t k = 0; k < counts_.size(); ++k) {
    const double c = static_cast<double>(counts_[k]);
    if (below + c >= target && c > 0) return lo_ + width_ * (static_cast<double>(k) + (target - below) / c);
    below += c;
  }
  return lo_ + width_ * static_cast<double>(counts_.size());
}

}  // namespace projector
