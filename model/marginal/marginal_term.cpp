// One plot's marginal term: prepare the plot and the population, find the
// mode, take the geometry there, then the Laplace term or the nodes, and the
// gradient when asked for. The model number becomes a constant of the code
// here, so that every size is fixed when the per-plot arithmetic is compiled.
#include "model/marginal/marginal_term.hpp"

#include <limits>
#include <stdexcept>

#include "model/marginal/marginal_pieces.hpp"

namespace model::marginal {
namespace {

template <int NL>
void set_moments(const Vec<NL>& mean, const Mat<NL>& cov, PlotMarginal& r) {
  for (int l = 0; l < NL; ++l) {
    r.mean[static_cast<std::size_t>(l)] = mean[static_cast<std::size_t>(l)];
    r.sd[static_cast<std::size_t>(l)] = std::sqrt(cov[entry<NL>(l, l)]);
  }
  if constexpr (NL == 2) r.correlation = cov[entry<NL>(0, 1)] / (r.sd[0] * r.sd[1]);
}

template <int NL, int NG>
void set_gradient(const OuterMotion<NL, NG>& motion, const std::array<double, outer_count(NG, NL)>& gradient,
                  PlotMarginal& r) {
  for (std::size_t j = 0; j < gradient.size(); ++j) {
    r.gradient[j] = gradient[j];
    for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l)
      r.mode_sensitivity[l + static_cast<std::size_t>(NL) * j] = motion.du[j][l];
  }
}

// Nodes closer to the mode than about 1e-7 of its magnitude in every local
// cannot be told apart from it in double precision (G(u_k) - G^ would be
// rounding); there the quadrature's correction is below rounding too, and
// Laplace is used. So is it where G^ itself is so large (a height far off any
// curve) that its rounding, 2^-52 |G^|, exceeds kExponentRounding: the
// differences G(u_k) - G^ are then that rounding, whatever the nodes, and
// their weights would put the conditional distribution on whichever nodes
// happen to round low.
template <int NL>
bool nodes_resolved(const Vec<NL>& mode, const ModeGeometry<NL>& geo) {
  if (!(std::fabs(geo.G) * std::numeric_limits<double>::epsilon() <= kExponentRounding)) return false;
  for (int l = 0; l < NL; ++l)
    if (std::sqrt(geo.sigma[entry<NL>(l, l)]) >= kResolvable * std::fabs(mode[static_cast<std::size_t>(l)]))
      return true;
  return false;
}

template <class Fn, int NL = Fn::NL, int NG = Fn::NG>
PlotStatus term_at_mode(Fn& fn, const Population<NL>& pop, const QuadratureRule& rule, const Vec<NL>& mode,
                        bool gradient, PlotMarginal& r) {
  fn.center(mode, gradient);
  const AtMode<NL, NG> at = gradient ? mode_expansion<true>(fn, mode) : mode_expansion<false>(fn, mode);
  ModeGeometry<NL> geo;
  PlotStatus status = mode_geometry(at, pop, mode, geo);
  r.log_det_curvature = geo.log_det_half;
  r.departure = geo.departure;
  if (status != PlotStatus::ok) return status;
  r.term = geo.G + geo.log_det_half;
  const OuterMotion<NL, NG> motion = gradient ? outer_motion(at, pop, geo) : OuterMotion<NL, NG>{};
  std::array<double, outer_count(NG, NL)> g{};
  r.nodes_per_local = nodes_resolved(mode, geo) ? rule.nodes_per_local : 1;
  if (r.nodes_per_local == 1) {
    set_moments<NL>(mode, geo.sigma, r);
    for (std::size_t j = 0; j < g.size(); ++j) g[j] = motion.g_phi[j] + motion.trace[j];
  } else {
    NodeWeights w;
    if ((status = node_weights(fn, pop, rule, mode, geo, w)) != PlotStatus::ok) return status;
    r.term = r.term - 2.0 * w.log_s;
    Vec<NL> mean;
    Mat<NL> cov;
    node_moments<NL>(rule, mode, geo, w, mean, cov);
    set_moments<NL>(mean, cov, r);
    if (gradient && (status = node_gradient(fn, pop, rule, mode, geo, w, motion, g)) != PlotStatus::ok) return status;
  }
  bool finite = std::isfinite(r.term);
  if (gradient) {
    set_gradient<NL, NG>(motion, g, r);
    for (double v : g) finite = finite && std::isfinite(v);
  }
  return finite ? PlotStatus::ok : PlotStatus::not_finite;
}

// The term (with a rule) or the mode alone (without).
template <int M>
PlotMarginal plot_marginal(const Esde& esde, const QuadratureRule* rule, const Outer& phi,
                           const PlotMeasurements& measurements, const LocalPair& start, bool gradient) {
  constexpr int NL = model_locals(M), NG = model_globals(M);
  if (rule && rule->nl != NL)
    throw std::logic_error("the quadrature rule is for " + std::to_string(rule->nl) + " locals, the model has " +
                           std::to_string(NL));
  if (measurements.n < 1 || measurements.n > common::kMaxMeasurements)
    throw std::invalid_argument("a plot has 1 to " + std::to_string(common::kMaxMeasurements) + " measurements, not " +
                                std::to_string(measurements.n));
  PreparedPlot plot;
  prepare_plot(measurements.n, measurements.ages, measurements.heights, plot);
  const Population<NL> pop = make_population<NL>(phi.data() + NG, phi.data() + NG + NL);
  PlotFunction<M> fn{esde, phi.data(), plot};
  Vec<NL> u0;
  for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l) u0[l] = start[l];
  const ModeSearch<NL> search = find_mode(fn, pop, u0);
  PlotMarginal r;
  r.iterations = search.iterations;
  for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l) r.mode[l] = search.u[l];
  r.status = search.status;
  if (rule && r.status == PlotStatus::ok) r.status = term_at_mode(fn, pop, *rule, search.u, gradient, r);
  return r;
}

}  // namespace

const char* plot_status_name(PlotStatus status) {
  switch (status) {
    case PlotStatus::ok:
      return "ok";
    case PlotStatus::not_finite:
      return "not finite";
    case PlotStatus::flat:
      return "flat";
    case PlotStatus::unbounded:
      return "unbounded";
  }
  return "unknown";
}

PlotMarginal marginal_term(const Esde& esde, const QuadratureRule& rule, const Outer& phi, const PlotMeasurements& plot,
                           const LocalPair& start, bool gradient) {
  return visit_model(esde.model, [&](auto model) {
    return plot_marginal<decltype(model)::value>(esde, &rule, phi, plot, start, gradient);
  });
}

PlotMarginal plot_mode(const Esde& esde, const Outer& phi, const PlotMeasurements& plot, const LocalPair& start) {
  return visit_model(esde.model, [&](auto model) {
    return plot_marginal<decltype(model)::value>(esde, nullptr, phi, plot, start, false);
  });
}

}  // namespace model::marginal
