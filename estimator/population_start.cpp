#include "estimator/population_start.hpp"

#include <cmath>

namespace estimator {

model::marginal::Outer population_start(PassPipeline& pipeline, const Sizes& sizes, const model::Globals& globals) {
  constexpr int kL = model::marginal::kMaxMarginalLocals;
  const int nl = sizes.nl;
  std::array<double, kL> mean{};
  std::array<double, kL * kL> co{};  // sums of cross products of the departures (Welford)
  int count = 0;
  const auto take = [&](const PlotSlot& s, int) {
    ++count;
    std::array<double, kL> before{};
    for (int l = 0; l < nl; ++l) {
      const auto k = static_cast<std::size_t>(l);
      before[k] = s.locals[k] - mean[k];
      mean[k] += before[k] / count;
    }
    for (int a = 0; a < nl; ++a)
      for (int b = 0; b < nl; ++b)
        co[static_cast<std::size_t>(a * kL + b)] +=
            before[static_cast<std::size_t>(a)] *
            (s.locals[static_cast<std::size_t>(b)] - mean[static_cast<std::size_t>(b)]);
  };
  pipeline.run(
      false, false, [](std::span<PlotSlot>) {}, take);

  model::marginal::Outer phi{};
  for (int i = 0; i < sizes.ng; ++i) phi[static_cast<std::size_t>(i)] = globals[static_cast<std::size_t>(i)];
  std::array<double, kL> sd{};
  for (int l = 0; l < nl; ++l) {
    const auto k = static_cast<std::size_t>(l);
    phi[static_cast<std::size_t>(sizes.ng + l)] = mean[k];
    const double var = count > 1 ? co[static_cast<std::size_t>(l * kL + l)] / (count - 1) : 0.0;
    sd[k] = var > 0.0 && std::isfinite(var) ? std::sqrt(var) : (mean[k] != 0.0 ? 0.1 * std::fabs(mean[k]) : 0.1);
    phi[static_cast<std::size_t>(sizes.ng + nl + l)] = std::log(sd[k]);
  }
  if (nl == 2) {
    double rho = count > 1 ? co[1] / (count - 1) / (sd[0] * sd[1]) : 0.0;
    if (!std::isfinite(rho)) rho = 0.0;
    rho = std::fmax(-0.95, std::fmin(0.95, rho));
    phi[static_cast<std::size_t>(sizes.ng + 4)] = std::atanh(rho);
  }
  return phi;
}

}  // namespace estimator
