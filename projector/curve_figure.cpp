#include "projector/curve_figure.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <boost/math/distributions/normal.hpp>

#include "io/svg_writer.hpp"
#include "model/model_table.hpp"
#include "model/models.hpp"
#include "projector/curve_draws.hpp"
#include "projector/figure_axes.hpp"
#include "projector/histogram.hpp"
#include "projector/power_scale.hpp"

namespace projector {
namespace {

constexpr int kBins = 65536;
constexpr int kCurveAges = 161;
constexpr double kWidth = 800, kHeight = 600, kLeft = 80, kTop = 50;

struct GuideCurve {
  std::string label;
  std::array<double, kCurveAges> heights;
};

// Every local at each of the quantiles, from a histogram pass over the file.
std::vector<model::Locals> local_quantiles(const RunResults& run, const std::string& path, const LocalsSummary& summary,
                                           const std::vector<double>& quantiles) {
  std::vector<Histogram> histograms;
  histograms.reserve(static_cast<std::size_t>(run.nl));
  for (int l = 0; l < run.nl; ++l) histograms.emplace_back(summary.lo[l], summary.hi[l], kBins);
  for_each_record(run, path, [&](const model::Locals& locals) {
    for (int l = 0; l < run.nl; ++l) histograms[static_cast<std::size_t>(l)].add(locals[static_cast<std::size_t>(l)]);
  });
  std::vector<model::Locals> out(quantiles.size(), model::Locals{});
  for (std::size_t q = 0; q < quantiles.size(); ++q)
    for (int l = 0; l < run.nl; ++l)
      out[q][static_cast<std::size_t>(l)] = histograms[static_cast<std::size_t>(l)].quantile(quantiles[q]);
  return out;
}

// The noiseless curve: the state's mean (y0 - a^c)/c decays by exp(-b (t - t0)).
void guide_heights(const RunResults& run, const model::Locals& locals, const std::array<double, kCurveAges>& ages,
                   std::array<double, kCurveAges>& heights) {
  model::Curve curve{};
  model::trpars(run.esde, run.globals, locals, curve);
  for (std::size_t k = 0; k < ages.size(); ++k) heights[k] = noise_free_height(curve, ages[k]);
}

// The quantiles of each local's population Normal (random locals).
std::vector<model::Locals> population_quantiles(const RunResults& run, const std::vector<double>& quantiles) {
  const CurveDraws::Conditional p = population_of_locals(run);
  std::vector<model::Locals> out(quantiles.size(), model::Locals{});
  for (std::size_t q = 0; q < quantiles.size(); ++q)
    for (int l = 0; l < run.nl; ++l) {
      const auto k = static_cast<std::size_t>(l);
      const double z = boost::math::quantile(boost::math::normal_distribution<double>(), quantiles[q]);
      out[q][k] = p.mean[k] + std::sqrt(p.covariance[k * static_cast<std::size_t>(run.nl) + k]) * z;
    }
  return out;
}

std::string quantile_label(const RunResults& run, double q) {
  const auto& names = model::model_names(run.esde.model);
  std::string locals;
  for (int l = 0; l < run.nl; ++l) locals += (l ? ", " : "") + std::string(names.locals[static_cast<std::size_t>(l)]);
  char b[96];
  std::snprintf(b, sizeof b, run.random_locals ? "%s at the population's %g%% quantile" : "%s at %g%% quantile",
                locals.c_str(), 100 * q);
  return b;
}

// The age axis: the span of the requested ages (from 0 when one age is
// given), else 0 to the last measured age; round numbers either way.
Ticks age_axis(const std::vector<double>& ages, const LocalsSummary& summary, const Units& units) {
  if (ages.empty()) return nice_ticks(0, summary.age_hi * units.age_scale);
  const auto [lo, hi] = std::minmax_element(ages.begin(), ages.end());
  return nice_ticks(*lo < *hi ? *lo : std::min(0.0, *lo), *hi);
}

}  // namespace

void LocalsSummary::add(const PlotData& plot, int nl) {
  for (int l = 0; l < nl; ++l) {
    const auto k = static_cast<std::size_t>(l);
    if (!std::isfinite(plot.locals[k])) continue;
    lo[k] = std::min(lo[k], plot.locals[k]);
    hi[k] = std::max(hi[k], plot.locals[k]);
  }
  age_hi = std::max(age_hi, plot.ages[static_cast<std::size_t>(plot.n - 1)]);
}

void write_curve_figure(const std::string& path, const RunResults& run, const std::string& locals_path,
                        const LocalsSummary& summary, const std::vector<double>& requested_ages,
                        const std::vector<double>& quantiles, const Units& units, const FigureText& text) {
  const Ticks x = age_axis(requested_ages, summary, units);
  std::array<double, kCurveAges> ages;
  for (int k = 0; k < kCurveAges; ++k)
    ages[static_cast<std::size_t>(k)] = (x.lo + (x.hi - x.lo) * k / (kCurveAges - 1)) / units.age_scale;
  std::vector<GuideCurve> curves(1, GuideCurve{run.random_locals ? "locals at the population's means"
                                                                 : "average locals (weighted by measurements)",
                                               {}});
  guide_heights(run, run.local_averages, ages, curves[0].heights);
  const std::vector<model::Locals> at = run.random_locals ? population_quantiles(run, quantiles)
                                                          : local_quantiles(run, locals_path, summary, quantiles);
  for (std::size_t q = 0; q < quantiles.size(); ++q) {
    curves.push_back({quantile_label(run, quantiles[q]), {}});
    guide_heights(run, at[q], ages, curves.back().heights);
  }
  double top = 0;
  for (const GuideCurve& c : curves)
    for (double h : c.heights)
      if (std::isfinite(h)) top = std::max(top, h * units.height_scale);
  io::SvgWriter svg(path, "curve figure", kWidth, kHeight);
  svg.text({kWidth / 2, 24},
           run.random_locals ? "Guide curves: height over age without noise, locals from their population"
                             : "Guide curves: height over age without noise",
           15, io::Anchor::middle);
  const Panel panel(svg, {kLeft, kTop}, kWidth - kLeft - 30, kHeight - kTop - 70, x, nice_ticks(0, top));
  panel.axes("age (" + text.age_unit + ")", "height (" + text.height_unit + ")", "");
  const auto stroke = [](std::size_t c) -> io::Stroke {
    if (c == 0) return {"#000000", 3.0, ""};
    return {series_colour(static_cast<int>(c) - 1), 2.0, "7 4"};
  };
  panel.begin_clip();
  for (std::size_t c = 0; c < curves.size(); ++c) {
    std::vector<io::Point> line;
    for (int k = 0; k < kCurveAges; ++k) {
      const double h = curves[c].heights[static_cast<std::size_t>(k)];
      if (std::isfinite(h))
        line.push_back(panel.at(ages[static_cast<std::size_t>(k)] * units.age_scale, h * units.height_scale));
    }
    svg.polyline(line, stroke(c));
  }
  panel.end_clip();
  for (std::size_t c = 0; c < curves.size(); ++c) panel.legend(static_cast<int>(c), stroke(c), curves[c].label);
  svg.commit();
}

}  // namespace projector
