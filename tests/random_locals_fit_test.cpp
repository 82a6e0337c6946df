// The summed pass of the random-locals fit against an independent check: its
// gradient (each plot's exact gradient, summed in plot order) equals central
// differences of the summed marginal objective, for a model with one local
// (1) and one with two (13), Laplace and 3 nodes per local; and the outer
// Hessian by central and by forward differences of that gradient against
// second differences of the objective, with a deviation among the globals at
// 0, where the Hessian's cross terms vanish by symmetry.
#include <gtest/gtest.h>

#include <cmath>

#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "estimator/marginal_pass.hpp"
#include "estimator/random_locals_fit.hpp"
#include "support/fit_problem.hpp"

namespace {

using model::marginal::Outer;

struct Case {
  int model, ng, nl;
  std::vector<double> globals;
  std::vector<double> start_locals;
  Outer phi;
};

void check_gradient(const Case& c, int nodes) {
  SCOPED_TRACE("model " + std::to_string(c.model) + ", nodes " + std::to_string(nodes));
  TempDir dir;
  std::vector<TestPlot> plots = simulate_model1(5, 300, 7, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.4, 3.0);
  for (TestPlot& p : plots) p.locals = c.start_locals;
  ControlSettings s;
  s.ng = c.ng;
  s.nl = c.nl;
  s.model = c.model;
  s.globals = c.globals;
  const FitFiles f = write_fit_problem(dir, plots, s);
  io::SequentialReader data(f.data, "data file");
  io::DirectAccessFile locals = common::open_local_file(f.locals, io::DirectAccessFile::Mode::read_write_existing);
  const estimator::Files files{data, locals};
  const estimator::Sizes sizes = estimator::make_sizes(c.ng, c.nl, static_cast<int>(plots.size()));
  const model::Esde esde{1.0, 1.0, c.model};
  const model::marginal::QuadratureRule rule = model::marginal::quadrature_rule(nodes, c.nl);
  const estimator::MarginalProblem problem{sizes, esde, rule, model::marginal::outer_count(c.ng, c.nl)};
  estimator::PassPipeline pipeline(files, sizes, 2);

  const estimator::MarginalTotals at = estimator::marginal_pass(pipeline, problem, c.phi, true, false);
  ASSERT_EQ(at.failed.iplot, 0);
  for (int j = 0; j < problem.outer; ++j) {
    const auto k = static_cast<std::size_t>(j);
    // Small steps: the rate of model 1 has a large third derivative.
    const double h = 2e-6 * std::fmax(1.0, std::fabs(c.phi[k]));
    Outer up = c.phi, down = c.phi;
    up[k] += h;
    down[k] -= h;
    const double fu = estimator::marginal_pass(pipeline, problem, up, false, false).objective;
    const double fd = estimator::marginal_pass(pipeline, problem, down, false, false).objective;
    const double difference = (fu - fd) / (up[k] - down[k]);
    EXPECT_NEAR(at.gradient[k], difference, 1e-6 * std::fmax(1.0, std::fabs(difference))) << "parameter " << j;
  }
}

// Model 1 on simulated plots, sigma_p at phi[2].
TEST(RandomLocalsPass, OuterHessianEqualsSecondDifferencesOfTheObjective) {
  TempDir dir;
  std::vector<TestPlot> plots = simulate_model1(5, 300, 7, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.4, 3.0);
  ControlSettings s;
  s.globals = {0.15, 0.7, 0.2, 0.05};
  const FitFiles f = write_fit_problem(dir, plots, s);
  io::SequentialReader data(f.data, "data file");
  io::DirectAccessFile locals = common::open_local_file(f.locals, io::DirectAccessFile::Mode::read_write_existing);
  const estimator::Files files{data, locals};
  const estimator::Sizes sizes = estimator::make_sizes(4, 1, static_cast<int>(plots.size()));
  const model::Esde esde{1.0, 1.0, 1};
  const model::marginal::QuadratureRule rule = model::marginal::quadrature_rule(1, 1);
  const estimator::MarginalProblem problem{sizes, esde, rule, model::marginal::outer_count(4, 1)};
  estimator::PassPipeline pipeline(files, sizes, 2);
  constexpr int kLd = model::marginal::kMaxOuter;
  for (const double sigma_p : {0.19, 0.0}) {
    SCOPED_TRACE("sigma_p " + std::to_string(sigma_p));
    const Outer phi{0.16, 0.68, sigma_p, 0.055, 2.9, std::log(0.35)};
    const estimator::MarginalTotals at = estimator::marginal_pass(pipeline, problem, phi, true, true);
    ASSERT_EQ(at.failed.iplot, 0);
    estimator::FailedPlot failed;
    const estimator::OuterMatrix central = estimator::outer_hessian(pipeline, problem, phi, failed);
    const estimator::OuterMatrix forward = estimator::outer_hessian(pipeline, problem, phi, failed, &at);
    ASSERT_EQ(failed.iplot, 0);
    for (int j = 0; j < problem.outer; ++j) {
      const auto k = static_cast<std::size_t>(j);
      const double h = 1e-3 * std::fmax(1.0, std::fabs(phi[k]));
      Outer up = phi, down = phi;
      up[k] += h;
      down[k] -= h;
      const double second = (estimator::marginal_pass(pipeline, problem, up, false, false).objective -
                             2.0 * at.objective +
                             estimator::marginal_pass(pipeline, problem, down, false, false).objective) /
                            (h * h);
      const double hjj = central[k * kLd + k];
      EXPECT_NEAR(hjj, second, 1e-3 * std::fabs(second)) << "central, parameter " << j;
      EXPECT_NEAR(forward[k * kLd + k], second, 5e-3 * std::fabs(second)) << "forward, parameter " << j;
      if (sigma_p != 0.0) continue;
      for (int i = 0; i < problem.outer; ++i) {
        if (i == 2 || j != 2) continue;
        const auto l = static_cast<std::size_t>(i);
        const double scale = std::sqrt(std::fabs(hjj * central[l * kLd + l]));
        EXPECT_NEAR(central[l * kLd + k], 0.0, 1e-8 * scale) << "central, parameter " << i;
        EXPECT_NEAR(forward[l * kLd + k], 0.0, 1e-8 * scale) << "forward, parameter " << i;
      }
    }
  }
}

TEST(RandomLocalsPass, GradientEqualsDifferencesOfTheSummedObjective) {
  const Case one{1, 4, 1, {0.15, 0.7, 0.2, 0.05}, {3.0}, {0.16, 0.68, 0.19, 0.055, 2.9, std::log(0.35)}};
  const Case two{
      13, 3, 2, {0.7, 0.2, 0.05}, {3.0, 0.15}, {0.68, 0.19, 0.055, 2.9, 0.16, std::log(0.35), std::log(0.02), 0.2}};
  for (const int nodes : {1, 3}) {
    check_gradient(one, nodes);
    check_gradient(two, nodes);
  }
}

}  // namespace
