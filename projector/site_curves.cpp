#include "projector/site_curves.hpp"

#include <algorithm>
#include <boost/math/tools/roots.hpp>
#include <charconv>
#include <cmath>
#include <limits>

#include "io/csv_writer.hpp"
#include "io/errors.hpp"
#include "io/svg_writer.hpp"
#include "model/catalogue.hpp"
#include "model/model_table.hpp"
#include "model/models.hpp"
#include "model/raw_units.hpp"
#include "projector/figure_axes.hpp"
#include "projector/power_scale.hpp"

namespace projector {
namespace {

constexpr int kGridHalf = 15;
constexpr double kGridFactor = 4.0;
constexpr int kCurveAges = 161;
constexpr std::int64_t kFaintPlots = 300;
constexpr double kWidth = 800, kHeight = 600, kLeft = 80, kTop = 50, kRight = 90;

std::string text(double v) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// The height at the base age with the solved local at v.
double height_at(const RunResults& run, model::Locals locals, int solved, double v, double base_age) {
  locals[at(solved)] = v;
  model::Curve curve{};
  model::trpars(run.esde, run.globals, locals, curve);
  return noise_free_height(curve, base_age);
}

SiteCurve solve_one(const RunResults& run, const SiteCurves& s, double site_index, const Units& units) {
  SiteCurve out;
  out.site_index = site_index;
  out.locals = run.local_averages;
  const double target = site_index / units.height_scale;
  const double reference = run.local_averages[at(s.solved)] > 0.0 ? run.local_averages[at(s.solved)] : 1.0;
  const auto g = [&](double v) { return height_at(run, out.locals, s.solved, v, s.base_age) - target; };
  double lo_h = std::numeric_limits<double>::infinity(), hi_h = -lo_h;
  double previous = std::nan(""), previous_v = std::nan("");
  for (int k = -kGridHalf; k <= kGridHalf; ++k) {
    const double v = reference * std::pow(kGridFactor, k), d = g(v);
    if (!std::isfinite(d)) continue;
    lo_h = std::min(lo_h, d + target);
    hi_h = std::max(hi_h, d + target);
    if (std::isfinite(previous) && (d == 0.0 || (previous < 0.0) != (d < 0.0))) {
      std::uintmax_t iterations = 200;
      const auto [a, b] =
          boost::math::tools::toms748_solve(g, previous_v, v, previous, d, boost::math::tools::eps_tolerance<double>(),
                                            iterations);
      const double root = std::fabs(g(a)) <= std::fabs(g(b)) ? a : b;
      out.locals[at(s.solved)] = root;
      model::trpars(run.esde, run.globals, out.locals, out.curve);
      return out;
    }
    previous = d;
    previous_v = v;
  }
  const std::string name(model::model_names(run.esde.model).locals[at(s.solved)]);
  io::fail("--site-curves: no curve of model " + std::to_string(run.esde.model) + " reaches the height " +
           text(site_index) + " at the base age " + text(s.base_age * units.age_scale) + ": with " + name + " from " +
           text(reference * std::pow(kGridFactor, -kGridHalf)) + " to " +
           text(reference * std::pow(kGridFactor, kGridHalf)) + " (scaled) the curves reach " +
           text(lo_h * units.height_scale) + " to " + text(hi_h * units.height_scale) + " there");
}

std::string held_text(const RunResults& run, const SiteCurves& s, const Units& units) {
  if (s.held < 0) return "";
  const model::Role role = model::catalogue_entry(run.esde.model).locals[at(s.held)];
  const double factor = model::raw_factor(role, {units.age_scale, units.height_scale}).value_or(1.0);
  return std::string(model::role_name(role)) +
         (run.random_locals ? " held at its population mean " : " held at its weighted mean ") +
         text(factor * run.local_averages[at(s.held)]);
}

}  // namespace

SiteCurves solve_site_curves(const RunResults& run, const std::vector<double>& site_indices, double base_age,
                             const Units& units) {
  SiteCurves s;
  s.base_age = base_age / units.age_scale;
  const model::ModelEntry& entry = model::catalogue_entry(run.esde.model);
  const int asymptote = entry.local_index(model::Role::a);
  s.solved = asymptote >= 0 ? asymptote : 0;
  if (run.nl == 2) s.held = 1 - s.solved;
  for (double si : site_indices) s.curves.push_back(solve_one(run, s, si, units));
  return s;
}

void write_site_curve_table(const std::string& path, const RunResults& run, const SiteCurves& s, const AgeGrid& grid,
                            const Units& units) {
  const model::ModelEntry& entry = model::catalogue_entry(run.esde.model);
  std::vector<std::string> header = {"site_index", "base_age", "age", "height"};
  std::array<double, common::kMaxLocals> factors{};
  for (int l = 0; l < run.nl; ++l) {
    const model::Role role = entry.locals[at(l)];
    header.emplace_back(model::role_name(role));
    factors[at(l)] = model::raw_factor(role, {units.age_scale, units.height_scale}).value_or(1.0);
  }
  header.emplace_back("held");
  io::TextWriter file(path, "site-curve table");
  io::CsvWriter csv(file, header);
  const std::string held = held_text(run, s, units);
  for (const SiteCurve& c : s.curves)
    for (double age : grid.ages) {
      csv.field(c.site_index).field(s.base_age * units.age_scale).field(age * units.age_scale);
      csv.field(noise_free_height(c.curve, age) * units.height_scale);
      for (int l = 0; l < run.nl; ++l) csv.field(factors[at(l)] * c.locals[at(l)]);
      csv.text(held);
      csv.end_row();
    }
  file.commit();
}

struct SiteCurveFigure::Drawing {
  Drawing(const std::string& path, const SiteCurves& c, const Units& u, Ticks x, Ticks y, std::int64_t every_k)
      : curves(c),
        units(u),
        svg(path, "site-curve figure", kWidth, kHeight),
        panel(svg, {kLeft, kTop}, kWidth - kLeft - kRight, kHeight - kTop - 70, x, y),
        every(every_k),
        span(x.hi / u.age_scale) {}
  const SiteCurves& curves;
  Units units;
  io::SvgWriter svg;
  Panel panel;
  std::int64_t every;
  double span;  // the last age drawn, scaled
  std::int64_t seen = 0;
};

namespace {

Ticks height_ticks(const SiteCurves& s, double span, const Units& units) {
  double top = 0;
  for (const SiteCurve& c : s.curves)
    for (int k = 0; k < kCurveAges; ++k) {
      const double h = noise_free_height(c.curve, span * k / (kCurveAges - 1));
      if (std::isfinite(h)) top = std::max(top, h * units.height_scale);
    }
  return nice_ticks(0, top);
}

}  // namespace

SiteCurveFigure::SiteCurveFigure(const std::string& path, const SiteCurves& curves, double last_age,
                                 std::int64_t plots, const Units& units, const FigureText& text) {
  const Ticks x = nice_ticks(0, std::max(last_age, curves.base_age) * units.age_scale);
  const Ticks y = height_ticks(curves, x.hi / units.age_scale, units);
  drawing_ = std::make_unique<Drawing>(path, curves, units, x, y, std::max<std::int64_t>(1, plots / kFaintPlots));
  drawing_->svg.text({kWidth / 2, 24}, "Site-index curves: height over age without noise", 15, io::Anchor::middle);
  drawing_->panel.axes("age (" + text.age_unit + ")", "height (" + text.height_unit + ")", "");
  drawing_->panel.begin_clip();
}

SiteCurveFigure::~SiteCurveFigure() = default;

// Every k-th plot's measurements, faint behind the curves.
void SiteCurveFigure::add(const PlotData& plot) {
  Drawing& d = *drawing_;
  if (d.seen++ % d.every != 0) return;
  std::vector<io::Point> line;
  line.reserve(static_cast<std::size_t>(plot.n));
  for (int i = 0; i < plot.n; ++i)
    line.push_back(d.panel.at(plot.ages[at(i)] * d.units.age_scale, plot.heights[at(i)] * d.units.height_scale));
  d.svg.polyline(line, {"#cccccc", 1.0, ""});
}

void SiteCurveFigure::write() {
  Drawing& d = *drawing_;
  const double base = d.curves.base_age * d.units.age_scale;
  std::vector<io::Point> ends;
  for (std::size_t c = 0; c < d.curves.curves.size(); ++c) {
    std::vector<io::Point> line;
    for (int k = 0; k < kCurveAges; ++k) {
      const double t = d.span * k / (kCurveAges - 1), h = noise_free_height(d.curves.curves[c].curve, t);
      if (std::isfinite(h)) line.push_back(d.panel.at(t * d.units.age_scale, h * d.units.height_scale));
    }
    d.svg.polyline(line, {series_colour(static_cast<int>(c)), 2.0, ""});
    ends.push_back(line.empty() ? io::Point{0, 0} : line.back());
  }
  const double top = d.panel.at(base, 0).y - (kHeight - kTop - 70);
  d.svg.line(d.panel.at(base, 0), {d.panel.at(base, 0).x, top}, {"#555555", 1.0, "4 3"});
  d.panel.end_clip();
  for (std::size_t c = 0; c < d.curves.curves.size(); ++c) {
    d.svg.begin_group("site-curve", text(d.curves.curves[c].site_index));
    d.svg.text({ends[c].x + 6, ends[c].y + 4}, "SI " + text(d.curves.curves[c].site_index), 12);
    d.svg.end_group();
  }
  d.svg.text({d.panel.at(base, 0).x, kTop - 6}, "base age " + text(base), 11, io::Anchor::middle);
  d.svg.commit();
}

}  // namespace projector
