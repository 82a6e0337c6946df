// Draws of one plot's curve parameters from what the fit knows of them, for
// intervals that carry the estimates' uncertainty (drawn_projection.hpp).
//
// Fixed locals (full intervals only): the plot's locals l and the globals g
// are jointly Normal about the estimates with covariance 2 H^-1, H the
// Hessian of the total objective as the estimator left it. With the plot's
// local block C = L L' (its record's packed factor), its cross block B
// (the record's lcross = L^-1 B) and W = C^-1 B, the blocks of 2 H^-1 are
// 2 (C^-1 + W V W'), -2 W V and 2 V (V the globals' block, whose double is
// the results file's covariance of the globals), so that
//   g = g^ + Lg z_g,   l | g = l^ - W (g - g^) + sqrt(2) L'^-1 z_l,
// with Lg the factor of the globals' covariance: the record holds every
// cross-covariance this needs.
//
// Random locals: the plot's locals given its measurements and the outer
// parameters phi are Normal with the mean and covariance of the fit's own
// approximation (Laplace, or the nodes' moments: model/marginal), found anew
// at every draw; with `full` phi is drawn as phi^ + L z from the results
// file's covariance of the outer parameters, otherwise held at phi^. A plot
// without measurements gets the population Normal(mu, Psi). A draw of phi at
// which the plot has no usable mode falls back to phi^ (counted).
#pragma once

#include <memory>
#include <string>

#include "model/marginal/marginal_term.hpp"
#include "projector/gaussian_draws.hpp"
#include "projector/plot_pass.hpp"
#include "projector/run_results.hpp"

namespace projector {

class CurveDraws {
 public:
  CurveDraws(const RunResults& run, bool full);
  ~CurveDraws();
  CurveDraws(const CurveDraws&) = delete;
  CurveDraws& operator=(const CurveDraws&) = delete;

  // Prepares the draws for `plot` (its measurements, and its record: the
  // locals, or the conditional mode for random locals). Returns the reason
  // when the plot's distribution cannot be formed, empty otherwise.
  std::string start(const PlotData& plot);
  // The next draw's curve parameters.
  void draw(NormalStream& z, model::Curve& curve);
  // Draws of phi that fell back to phi^ so far.
  long long fallbacks() const { return fallbacks_; }

  // The conditional distribution of the locals of the last start (random
  // locals; mean and covariance, 2 x 2 row-major).
  struct Conditional {
    model::marginal::LocalPair mean{};
    std::array<double, 4> covariance{};
  };
  const Conditional& conditional() const { return at_estimates_; }
  // The fit's own per-plot quantities at the estimates for the last start of
  // a measured plot (random locals): the marginal term, the conditional mode,
  // the conditional standard deviations and correlation.
  const model::marginal::PlotMarginal& marginal() const { return marginal_; }

 private:
  void draw_fixed(NormalStream& z, model::Curve& curve);
  void draw_random(NormalStream& z, model::Curve& curve);
  Conditional conditional_at(const model::marginal::Outer& phi, bool& ok);

  const RunResults& run_;
  const bool full_;
  CovarianceFactor estimates_;  // of the globals (fixed) or of phi (random)
  std::unique_ptr<model::marginal::QuadratureRule> rule_;
  // The plot of the last start.
  const PlotData* plot_ = nullptr;
  std::array<double, common::kMaxLocals * common::kMaxGlobals> w_{};  // W, column-major (NL x NG)
  std::array<double, common::kMaxLocalTriangle> lfactor_{};
  Conditional at_estimates_;
  model::marginal::PlotMarginal marginal_;
  bool at_estimates_ready_ = false;  // the searches at drawn phi start from its mean
  std::string why_;                  // the status of the last failed search
  long long fallbacks_ = 0;
};

// The population Normal(mu, Psi) of a random-locals fit's locals at its estimates.
CurveDraws::Conditional population_of_locals(const RunResults& run);

}  // namespace projector
