// Seeded standard normal numbers and correlated Gaussian draws, the same on
// every machine: a SplitMix64 stream of 64-bit integers, its top 53 bits made
// a uniform u in (0, 1), and z = Phi^-1(u) by Boost.Math's normal quantile.
// A covariance S (order n <= kMaxDrawn, row-major, kMaxDrawn wide) is
// factored once, S = L L' (rows or columns of a parameter known exactly, a
// zero variance, give zero columns of L), and a draw is mean + L z.
#pragma once

#include <array>
#include <cstdint>

namespace projector {

inline constexpr int kMaxDrawn = 10;

class NormalStream {
 public:
  explicit NormalStream(std::uint64_t seed) : state_(seed) {}
  double next();
  double uniform();  // in (0, 1)

 private:
  std::uint64_t state_;
};

// A stream for one plot: its place in the file and the run's seed.
NormalStream plot_stream(std::int64_t position, std::uint64_t seed);

struct CovarianceFactor {
  int n = 0;
  std::array<double, kMaxDrawn * kMaxDrawn> l{};  // lower triangle, row-major
};

// Cholesky factor of S; a pivot not above 1e-300 times the diagonal's
// largest (a parameter held, or a singular block) gives a zero column.
CovarianceFactor factor_covariance(int n, const double* s);

// out = mean + L z, z the next n numbers of the stream.
void correlated_draw(const CovarianceFactor& f, const double* mean, NormalStream& z, double* out);

}  // namespace projector
