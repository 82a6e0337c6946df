#include "projector/gaussian_draws.hpp"

#include <boost/math/distributions/normal.hpp>
#include <cmath>

namespace projector {

double NormalStream::uniform() {
  state_ += 0x9e3779b97f4a7c15ULL;
  std::uint64_t x = state_;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  x ^= x >> 31;
  return (static_cast<double>(x >> 11) + 0.5) * 0x1.0p-53;
}

double NormalStream::next() { return boost::math::quantile(boost::math::normal_distribution<double>(), uniform()); }

NormalStream plot_stream(std::int64_t position, std::uint64_t seed) {
  return NormalStream(seed * 0x2545f4914f6cdd1dULL + static_cast<std::uint64_t>(position) * 0x9e3779b97f4a7c15ULL);
}

CovarianceFactor factor_covariance(int n, const double* s) {
  CovarianceFactor f;
  f.n = n;
  double largest = 0.0;
  for (int i = 0; i < n; ++i) largest = std::fmax(largest, s[i * kMaxDrawn + i]);
  const auto at = [&f](int i, int j) -> double& { return f.l[static_cast<std::size_t>(i * kMaxDrawn + j)]; };
  for (int j = 0; j < n; ++j) {
    double d = s[j * kMaxDrawn + j];
    for (int k = 0; k < j; ++k) d -= at(j, k) * at(j, k);
    if (!(d > 1e-300 * largest)) continue;  // the column stays zero
    at(j, j) = std::sqrt(d);
    for (int i = j + 1; i < n; ++i) {
      double v = s[i * kMaxDrawn + j];
      for (int k = 0; k < j; ++k) v -= at(i, k) * at(j, k);
      at(i, j) = v / at(j, j);
    }
  }
  return f;
}

void correlated_draw(const CovarianceFactor& f, const double* mean, NormalStream& z, double* out) {
  std::array<double, kMaxDrawn> e{};
  for (int j = 0; j < f.n; ++j) e[static_cast<std::size_t>(j)] = z.next();
  for (int i = 0; i < f.n; ++i) {
    double v = mean[i];
    for (int j = 0; j <= i; ++j) v += f.l[static_cast<std::size_t>(i * kMaxDrawn + j)] * e[static_cast<std::size_t>(j)];
    out[i] = v;
  }
}

}  // namespace projector
