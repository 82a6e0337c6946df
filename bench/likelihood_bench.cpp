// Cost of the plot objective and of its derivatives per measurement.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "estimator/likelihood.hpp"

namespace {

struct Plot {
  std::vector<double> t, h;
};

Plot make_plot(int n) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Plot p;
  double t = 0.5;
  for (int i = 0; i < n; ++i) {
    t += 0.5 + u(rng);
    p.t.push_back(t);
    p.h.push_back(0.5 + 2.5 * (1.0 - std::exp(-0.2 * t)) + 0.05 * u(rng));
  }
  return p;
}

const estimator::Curve kCurve = {3.0, 0.2, 0.7, 0.0, 0.1, 0.05, 0.0, 0.0};

void BM_funct(benchmark::State& state) {
  const Plot p = make_plot(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    double f = estimator::funct(kCurve, static_cast<int>(p.t.size()), p.t.data(), p.h.data());
    benchmark::DoNotOptimize(f);
  }
  state.counters["ns/measurement"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ders(benchmark::State& state) {
  const Plot p = make_plot(static_cast<int>(state.range(0)));
  estimator::CurveGradient g{};
  estimator::CurveHessian h{};
  for (auto _ : state) {
    estimator::ders(kCurve, static_cast<int>(p.t.size()), p.t.data(), p.h.data(), g, h);
    benchmark::DoNotOptimize(g);
    benchmark::DoNotOptimize(h);
  }
  state.counters["ns/measurement"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_funct)->Arg(1)->Arg(10)->Arg(99);
BENCHMARK(BM_ders)->Arg(1)->Arg(10)->Arg(99);

}  // namespace

BENCHMARK_MAIN();
