// Cost per measurement of the plot objective and its derivatives: the
// routines funct and ders, one plot at a time; the likelihood kernels on a
// block of 256 plots on each path, with the derivatives for the curve
// parameters of models 1, 4 and 13; and the optimiser's three per-plot
// kernels on such a block (the best path), as its passes call them.
//
//   likelihood_bench [google-benchmark options]
// Names (N measurements per plot): BM_funct/N, BM_ders/N;
// kernel_funct/PATH/N, kernel_ders/PATH/model:M/N; pass_KERNEL/model:M/N with
// KERNEL trial (trpars and funct), derivative (trpars, ders, trders, the
// local block's factor and the plot's share of the global system) or step.
// Random locals, on 256 plots of 10 measurements near the population's mean
// for models 1, 4 and 13: marginal_mode/model:M/start:S, the mode search
// alone from the population's mean (S = mu) or from the mode itself (S =
// mode, the end of a fit); marginal_term/model:M/K:k/gradient:G, the whole
// marginal term with K nodes per local (1: Laplace) from the mode, without
// (G = 0) and with (G = 1) its gradient.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "estimator/plot_kernels.hpp"
#include "model/lanes/likelihood_kernels.hpp"
#include "model/marginal/marginal_term.hpp"
#include "model/likelihood.hpp"
#include "model/model_table.hpp"

namespace {

using namespace estimator;
using namespace model;

struct Plot {
  std::vector<double> t, h;
};

Plot make_plot(int n, unsigned seed) {
  std::mt19937 rng(seed);
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

// Curve parameters as model 1 or 13 (a, b, c, sigmap, sigmae) and model 4
// (also sigma0) have them.
const Curve kCurve = {3.0, 0.2, 0.7, 0.0, 0.1, 0.05, 0.0, 0.0};
const Curve kCurveWithStart = {3.0, 0.2, 0.7, 0.1, 0.1, 0.05, 0.0, 0.0};

void per_measurement(benchmark::State& state, int measurements) {
  state.counters["ns/measurement"] = benchmark::Counter(static_cast<double>(state.iterations()) * measurements,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_funct(benchmark::State& state) {
  const Plot p = make_plot(static_cast<int>(state.range(0)), 1);
  for (auto _ : state) {
    double f = funct(kCurve, static_cast<int>(p.t.size()), p.t.data(), p.h.data());
    benchmark::DoNotOptimize(f);
  }
  per_measurement(state, static_cast<int>(state.range(0)));
}

void BM_ders(benchmark::State& state) {
  const Plot p = make_plot(static_cast<int>(state.range(0)), 1);
  CurveGradient g{};
  CurveHessian h{};
  for (auto _ : state) {
    ders(kCurve, static_cast<int>(p.t.size()), p.t.data(), p.h.data(), g, h);
    benchmark::DoNotOptimize(g);
    benchmark::DoNotOptimize(h);
  }
  per_measurement(state, static_cast<int>(state.range(0)));
}

BENCHMARK(BM_funct)->Arg(1)->Arg(10)->Arg(99);
BENCHMARK(BM_ders)->Arg(1)->Arg(10)->Arg(99);

// A block of plots of n measurements each.
struct Block {
  std::vector<Plot> data;
  std::vector<KernelPlot> plots;
  Block(int n, const Curve& curve) {
    for (unsigned i = 0; i < 256; ++i) data.push_back(make_plot(n, 1 + i));
    for (const Plot& p : data) plots.push_back({&curve, n, p.t.data(), p.h.data()});
  }
};

void kernel_funct(benchmark::State& state, LanePath path) {
  const int n = static_cast<int>(state.range(0));
  const Block block(n, kCurve);
  const LikelihoodKernels k = likelihood_kernels(moved_parameters(1), path);
  std::vector<double> f(block.plots.size());
  for (auto _ : state) {
    k.funct(block.plots, f);
    benchmark::DoNotOptimize(f.data());
  }
  per_measurement(state, n * static_cast<int>(block.plots.size()));
}

void kernel_ders(benchmark::State& state, LanePath path, int model) {
  const int n = static_cast<int>(state.range(0));
  const Block block(n, model == 4 ? kCurveWithStart : kCurve);
  const LikelihoodKernels k = likelihood_kernels(moved_parameters(model), path);
  std::vector<CurveGradient> g(block.plots.size());
  std::vector<CurveHessian> h(block.plots.size());
  for (auto _ : state) {
    k.ders(block.plots, g, h);
    benchmark::DoNotOptimize(g.data());
    benchmark::DoNotOptimize(h.data());
  }
  per_measurement(state, n * static_cast<int>(block.plots.size()));
}

// A block of 256 plots in the optimiser's slots, for model 1 (local a),
// 4 (local a, estimated sigma0) or 13 (local a and b), at the truth.
struct SlotBlock {
  Esde esde;
  Sizes sizes;
  Globals globals{};
  std::vector<PlotSlot> slots;
  SlotBlock(int model, int n) : esde{1.0, 1.0, model} {
    const ModelCounts counts = model_counts(model);
    sizes = make_sizes(counts.ng, counts.nl, 256);
    const std::vector<double> g = model == 1   ? std::vector<double>{0.2, 0.7, 0.1, 0.05}
                                  : model == 4 ? std::vector<double>{0.2, 0.7, 0.1, 0.1, 0.05}
                                               : std::vector<double>{0.7, 0.1, 0.05};
    std::copy(g.begin(), g.end(), globals.begin());
    slots.resize(256);
    for (unsigned i = 0; i < slots.size(); ++i) {
      PlotSlot& s = slots[i];
      const Plot p = make_plot(n, 1 + i);
      s.locals = {3.0, 0.2};
      s.work.fill(0.0);
      s.lfactor.fill(0.0);
      s.data.n = n;
      std::copy(p.t.begin(), p.t.end(), s.data.ages.begin());
      std::copy(p.h.begin(), p.h.end(), s.data.heights.begin());
    }
  }
};

// Runs `kernel` over the block in groups of kGroupPlots, as a pass does.
template <class Kernel>
void over_groups(std::vector<PlotSlot>& slots, Kernel kernel) {
  for (std::size_t first = 0; first < slots.size(); first += kGroupPlots)
    kernel(std::span<PlotSlot>(slots.data() + first, std::min<std::size_t>(kGroupPlots, slots.size() - first)));
}

void pass_kernel(benchmark::State& state, int which, int model) {
  const int n = static_cast<int>(state.range(0));
  SlotBlock b(model, n);
  const LikelihoodKernels k = likelihood_kernels(moved_parameters(model));
  const Globals dx{};
  // The step needs the factors of a derivative pass.
  over_groups(b.slots, [&](std::span<PlotSlot> g) { derivative_group(b.esde, b.sizes, k, b.globals, 0.0, g); });
  for (auto _ : state) {
    if (which == 0)
      over_groups(b.slots, [&](std::span<PlotSlot> g) { trial_group(b.esde, b.sizes, k, b.globals, 0.0, g); });
    else if (which == 1)
      over_groups(b.slots, [&](std::span<PlotSlot> g) { derivative_group(b.esde, b.sizes, k, b.globals, 0.0, g); });
    else
      over_groups(b.slots, [&](std::span<PlotSlot> g) { step_group(b.sizes, dx, g); });
    benchmark::DoNotOptimize(b.slots.data());
  }
  per_measurement(state, n * static_cast<int>(b.slots.size()));
}

// 256 plots with the outer parameters of model 1, 4 or 13 and each plot's
// mode there.
struct MarginalBlock {
  Esde esde;
  marginal::Outer phi{};
  std::vector<Plot> data;
  std::vector<marginal::LocalPair> mode;
  MarginalBlock(int model, int n) : esde{1.0, 1.0, model} {
    const std::vector<double> p =
        model == 1   ? std::vector<double>{0.2, 0.7, 0.1, 0.05, 3.0, std::log(0.3)}
        : model == 4 ? std::vector<double>{0.2, 0.7, 0.1, 0.1, 0.05, 3.0, std::log(0.3)}
                     : std::vector<double>{0.7, 0.1, 0.05, 3.0, 0.2, std::log(0.3), std::log(0.05), 0.0};
    std::copy(p.begin(), p.end(), phi.begin());
    const marginal::QuadratureRule laplace = marginal::quadrature_rule(1, model_counts(model).nl);
    for (unsigned i = 0; i < 256; ++i) {
      data.push_back(make_plot(n, 1 + i));
      mode.push_back(marginal::marginal_term(esde, laplace, phi, measurements(i), mean(), false).mode);
    }
  }
  marginal::PlotMeasurements measurements(std::size_t i) const {
    return {static_cast<int>(data[i].t.size()), data[i].t.data(), data[i].h.data()};
  }
  marginal::LocalPair mean() const {
    const int ng = model_counts(esde.model).ng;
    return {phi[static_cast<std::size_t>(ng)], phi[static_cast<std::size_t>(ng + 1)]};
  }
};

void marginal_mode(benchmark::State& state, int model, bool from_mode) {
  const int n = static_cast<int>(state.range(0));
  const MarginalBlock b(model, n);
  double iterations = 0.0;
  for (auto _ : state) {
    iterations = 0.0;
    for (std::size_t i = 0; i < b.data.size(); ++i) {
      const auto r = marginal::plot_mode(b.esde, b.phi, b.measurements(i), from_mode ? b.mode[i] : b.mean());
      iterations += r.iterations;
      benchmark::DoNotOptimize(r);
    }
  }
  state.counters["iterations"] = iterations / static_cast<double>(b.data.size());
  per_measurement(state, n * static_cast<int>(b.data.size()));
}

void marginal_term(benchmark::State& state, int model, int k, bool gradient) {
  const int n = static_cast<int>(state.range(0));
  const MarginalBlock b(model, n);
  const marginal::QuadratureRule rule = marginal::quadrature_rule(k, model_counts(model).nl);
  for (auto _ : state) {
    for (std::size_t i = 0; i < b.data.size(); ++i) {
      const auto r = marginal::marginal_term(b.esde, rule, b.phi, b.measurements(i), b.mode[i], gradient);
      benchmark::DoNotOptimize(r);
    }
  }
  per_measurement(state, n * static_cast<int>(b.data.size()));
}

const bool kRegistered = [] {
  for (LanePath path : {LanePath::plain, LanePath::avx2}) {
    if (!lane_path_available(path)) continue;
    const std::string name = path == LanePath::plain ? "plain" : "avx2";
    benchmark::RegisterBenchmark(("kernel_funct/" + name).c_str(), kernel_funct, path)->Arg(1)->Arg(10)->Arg(99);
    for (int model : {1, 4, 13})
      benchmark::RegisterBenchmark(("kernel_ders/" + name + "/model:" + std::to_string(model)).c_str(), kernel_ders,
                                   path, model)
          ->Arg(1)
          ->Arg(10)
          ->Arg(99);
  }
  for (int which : {0, 1, 2})
    for (int model : {1, 4, 13}) {
      const std::string name = which == 0 ? "trial" : which == 1 ? "derivative" : "step";
      benchmark::RegisterBenchmark(("pass_" + name + "/model:" + std::to_string(model)).c_str(), pass_kernel, which,
                                   model)
          ->Arg(10);
    }
  for (int model : {1, 4, 13}) {
    const std::string m = "/model:" + std::to_string(model);
    for (bool from_mode : {false, true})
      benchmark::RegisterBenchmark(("marginal_mode" + m + (from_mode ? "/start:mode" : "/start:mu")).c_str(),
                                   marginal_mode, model, from_mode)
          ->Arg(10);
    for (int k : {1, 5})
      for (bool gradient : {false, true})
        benchmark::RegisterBenchmark(
            ("marginal_term" + m + "/K:" + std::to_string(k) + "/gradient:" + (gradient ? "1" : "0")).c_str(),
            marginal_term, model, k, gradient)
            ->Arg(10);
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
