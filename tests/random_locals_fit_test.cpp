// The summed pass of the random-locals fit against an independent check: its
// gradient (each plot's exact gradient, summed in plot order) equals central
// differences of the summed marginal objective, for a model with one local
// (1) and one with two (13), Laplace and 3 nodes per local.
#include <gtest/gtest.h>

#include <cmath>

#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "estimator/marginal_pass.hpp"
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
