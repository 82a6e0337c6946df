#include "starter/profile.hpp"

#include <array>
#include <cmath>
#include <span>

#include "common/limits.hpp"
#include "model/likelihood.hpp"
#include "model/models.hpp"
#include "starter/plot_locals.hpp"

namespace starter {
namespace {

constexpr std::size_t at(int i) { return static_cast<std::size_t>(i); }

// Packed triangle position of (i, j), counted from 0.
int packed(int i, int j) { return i >= j ? i * (i + 1) / 2 + j : j * (j + 1) / 2 + i; }

// Adds one plot's reduced block hgg - hlg^T hll^-1 hlg and its gradient.
void add_derivatives(const ProfileSettings& s, const model::Globals& globals, const model::Locals& locals,
                     const common::Plot& plot, ProfilePoint& point) {
  const int ng = s.roles.ng, nl = s.roles.nl;
  model::Curve curve{};
  model::CurveGradient fgrad{};
  model::CurveHessian fhess{};
  model::trpars(s.esde, globals, locals, curve);
  model::ders(curve, plot.n, plot.ages.data(), plot.heights.data(), fgrad, fhess);
  model::Globals ggrad{};
  model::Locals lgrad{};
  std::array<double, common::kMaxGlobalTriangle> hgg{};
  std::array<double, common::kMaxGlobals * common::kMaxLocals> hlg{};
  std::array<double, common::kMaxLocalTriangle> hll{};
  model::trders(s.esde, globals, locals, fgrad, fhess, {ggrad.data(), at(ng)}, {lgrad.data(), at(nl)},
                {hgg.data(), at(ng * (ng + 1) / 2)}, {hlg.data(), at(ng * nl)}, {hll.data(), at(nl * (nl + 1) / 2)});
  LocalMatrix C(nl, nl);
  CrossMatrix B(nl, ng);
  for (int l = 0; l < nl; ++l)
    for (int k = 0; k < nl; ++k) C(l, k) = hll[at(packed(l, k))];
  for (int i = 0; i < ng; ++i)
    for (int l = 0; l < nl; ++l) B(l, i) = hlg[at(i * nl + l)];
  // A plot whose locals ran to the end of their range has no curvature
  // there to eliminate them with: its locals count as held.
  const Eigen::LLT<LocalMatrix> factor(C);
  GlobalMatrix reduced = GlobalMatrix::Zero(ng, ng);
  if (factor.info() == Eigen::Success) reduced = B.transpose() * factor.solve(B);
  for (int i = 0; i < ng; ++i) {
    point.gradient(i) += ggrad[at(i)];
    point.gradient_magnitude(i) += std::fabs(ggrad[at(i)]);
    for (int j = 0; j < ng; ++j) point.hessian(i, j) += hgg[at(packed(i, j))] - reduced(i, j);
  }
}

}  // namespace

ProfilePoint evaluate_profile(const std::vector<common::Plot>& plots, const ProfileSettings& settings,
                              const model::Globals& globals, bool derivatives) {
  const int ng = settings.roles.ng;
  ProfilePoint point;
  point.gradient = GlobalVector::Zero(ng);
  point.gradient_magnitude = GlobalVector::Zero(ng);
  point.hessian = GlobalMatrix::Zero(ng, ng);
  for (const common::Plot& plot : plots) {
    const LocalFit fit =
        fit_locals(settings.roles, settings.esde, globals, plot, settings.rate_reference, RateSearch::typical);
    point.objective += fit.objective;
    point.magnitude += std::fabs(fit.objective);
    point.runaway += fit.at_bound ? 1 : 0;
    if (derivatives) add_derivatives(settings, globals, fit.locals, plot, point);
  }
  point.finite = std::isfinite(point.objective) && point.objective < 1e99 && point.gradient.allFinite() &&
                 point.hessian.allFinite();
  return point;
}

}  // namespace starter
