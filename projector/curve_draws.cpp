#include "projector/curve_draws.hpp"

#include <cmath>

#include "common/plot_file_layout.hpp"
#include "estimator/cholesky.hpp"
#include "model/marginal/quadrature_rule.hpp"
#include "model/models.hpp"

namespace projector {
namespace {

using model::marginal::Outer;

// The population Normal(mu, Psi) of phi = (globals, mu, psi).
CurveDraws::Conditional population(const Outer& phi, int ng, int nl) {
  CurveDraws::Conditional p;
  const auto at = [&phi, ng](int k) { return phi[static_cast<std::size_t>(ng + k)]; };
  for (int l = 0; l < nl; ++l) p.mean[static_cast<std::size_t>(l)] = at(l);
  const double s1 = std::exp(at(nl));
  if (nl == 1) {
    p.covariance[0] = s1 * s1;
    return p;
  }
  const double s2 = std::exp(at(nl + 1)), rho = std::tanh(at(nl + 2));
  p.covariance = {s1 * s1, rho * s1 * s2, rho * s1 * s2, s2 * s2};
  return p;
}

}  // namespace

CurveDraws::Conditional population_of_locals(const RunResults& run) { return population(run.phi, run.ng, run.nl); }

CurveDraws::CurveDraws(const RunResults& run, bool full) : run_(run), full_(full) {
  if (full) estimates_ = factor_covariance(run.uncertain, run.covariance.data());
  if (run.random_locals)
    rule_ = std::make_unique<model::marginal::QuadratureRule>(
        model::marginal::quadrature_rule(run.nodes_per_local, run.nl));
}

CurveDraws::~CurveDraws() = default;

CurveDraws::Conditional CurveDraws::conditional_at(const Outer& phi, bool& ok) {
  ok = true;
  if (plot_->n == 0) return population(phi, run_.ng, run_.nl);
  const model::marginal::PlotMeasurements m{plot_->n, plot_->ages.data(), plot_->heights.data()};
  model::marginal::LocalPair start{};
  for (int l = 0; l < run_.nl; ++l)
    start[static_cast<std::size_t>(l)] = at_estimates_ready_ ? at_estimates_.mean[static_cast<std::size_t>(l)]
                                                             : plot_->locals[static_cast<std::size_t>(l)];
  const model::marginal::PlotMarginal r = model::marginal::marginal_term(run_.esde, *rule_, phi, m, start, false);
  if (!at_estimates_ready_) marginal_ = r;
  Conditional c;
  if (r.status != model::marginal::PlotStatus::ok) {
    ok = false;
    why_ = model::marginal::plot_status_name(r.status);
    return c;
  }
  c.mean = r.mean;
  const double s1 = r.sd[0];
  if (run_.nl == 1) {
    c.covariance[0] = s1 * s1;
  } else {
    const double s2 = r.sd[1];
    c.covariance = {s1 * s1, r.correlation * s1 * s2, r.correlation * s1 * s2, s2 * s2};
  }
  return c;
}

std::string CurveDraws::start(const PlotData& plot) {
  plot_ = &plot;
  if (run_.random_locals) {
    at_estimates_ready_ = false;
    bool ok = true;
    at_estimates_ = conditional_at(run_.phi, ok);
    if (!ok) return "no usable conditional mode of its locals (" + why_ + ")";
    at_estimates_ready_ = true;
    return "";
  }
  // W = C^-1 B from the record's lcross = L^-1 B; C^-1 = L'^-1 L^-1 through its factor.
  const common::RecordLayout layout{run_.ng, run_.nl};
  const int nl = run_.nl, ng = run_.ng;
  std::copy_n(plot.record.begin() + layout.work_first() + nl, nl * ng, w_.begin());
  std::copy_n(plot.record.begin() + layout.factor_first(), layout.factor_reals(), lfactor_.begin());
  estimator::chol2(nl, layout.factor_reals(), ng, nl * ng, lfactor_, w_);
  return "";
}

void CurveDraws::draw(NormalStream& z, model::Curve& curve) {
  if (run_.random_locals)
    draw_random(z, curve);
  else
    draw_fixed(z, curve);
}

void CurveDraws::draw_fixed(NormalStream& z, model::Curve& curve) {
  const int nl = run_.nl, ng = run_.ng;
  model::Globals g{};
  correlated_draw(estimates_, run_.globals.data(), z, g.data());
  std::array<double, common::kMaxLocals> e{};
  for (int l = 0; l < nl; ++l) e[static_cast<std::size_t>(l)] = std::sqrt(2.0) * z.next();
  const common::RecordLayout layout{ng, nl};
  estimator::chol2(nl, layout.factor_reals(), 1, nl, lfactor_, e);
  model::Locals locals{};
  for (int l = 0; l < nl; ++l) {
    double v = plot_->locals[static_cast<std::size_t>(l)] + e[static_cast<std::size_t>(l)];
    for (int k = 0; k < ng; ++k)
      v -= w_[static_cast<std::size_t>(l + nl * k)] *
           (g[static_cast<std::size_t>(k)] - run_.globals[static_cast<std::size_t>(k)]);
    locals[static_cast<std::size_t>(l)] = v;
  }
  model::trpars(run_.esde, g, locals, curve);
}

void CurveDraws::draw_random(NormalStream& z, model::Curve& curve) {
  Outer phi = run_.phi;
  Conditional c = at_estimates_;
  if (full_) {
    correlated_draw(estimates_, run_.phi.data(), z, phi.data());
    bool ok = true;
    c = conditional_at(phi, ok);
    if (!ok) {
      ++fallbacks_;
      phi = run_.phi;
      c = at_estimates_;
    }
  }
  const int nl = run_.nl;
  std::array<double, kMaxDrawn * kMaxDrawn> s{};
  for (int i = 0; i < nl; ++i)
    for (int j = 0; j < nl; ++j)
      s[static_cast<std::size_t>(i * kMaxDrawn + j)] = c.covariance[static_cast<std::size_t>(i * nl + j)];
  model::Locals locals{};
  correlated_draw(factor_covariance(nl, s.data()), c.mean.data(), z, locals.data());
  model::Globals g{};
  std::copy_n(phi.begin(), run_.ng, g.begin());
  model::trpars(run_.esde, g, locals, curve);
}

}  // namespace projector
