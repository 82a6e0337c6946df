// Quantiles of a stream of values in fixed memory: counts in equal bins over
// [lo, hi] (values outside go to the end bins), a quantile interpolated
// linearly within its bin. Exact to the bin width; deterministic.
#pragma once

#include <cstdint>
#include <vector>

namespace projector {

class Histogram {
 public:
  Histogram(double lo, double hi, int bins);
  void add(double x);
  // The p-quantile, 0 < p < 1; NaN when nothing was added.
  double quantile(double p) const;
  std::int64_t count() const { return count_; }

 private:
  double lo_, width_;
  std::vector<std::int64_t> counts_;
  std::int64_t count_ = 0;
};

}  // namespace projector
