#include "bench/simulation.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "common/control_file_writer.hpp"
#include "model/model_table.hpp"
#include "model/models.hpp"

namespace bench {
namespace {

// splitmix64 and Box-Muller: the same numbers on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  double normal() {
    if (spare_ready_) {
      spare_ready_ = false;
      return spare_;
    }
    double u = 0.0;
    while (u == 0.0) u = uniform();
    const double v = uniform();
    const double r = std::sqrt(-2.0 * std::log(u));
    spare_ = r * std::sin(2.0 * std::numbers::pi * v);
    spare_ready_ = true;
    return r * std::cos(2.0 * std::numbers::pi * v);
  }

 private:
  std::uint64_t state_;
  double spare_ = 0.0;
  bool spare_ready_ = false;
};

void write_truth(const TruthFiles& truth, long long id, const std::vector<double>& ages,
                 const std::vector<double>& heights, const model::Locals& locals, std::size_t nl) {
  for (std::size_t k = 0; truth.heights && k < ages.size(); ++k)
    std::fprintf(truth.heights, "%lld %.17g %.17g\n", id, ages[k], heights[k]);
  if (!truth.locals) return;
  std::fprintf(truth.locals, "%lld", id);
  for (std::size_t l = 0; l < nl; ++l) std::fprintf(truth.locals, " %.17g", locals[l]);
  std::fprintf(truth.locals, "\n");
}

}  // namespace

void write_raw_data(const SimulationSettings& settings, std::FILE* out, const TruthFiles& truth) {
  if (!model::valid_model(settings.model))
    throw std::invalid_argument("model number must be 1 to " + std::to_string(model::kModelCount));
  const auto counts = model::model_counts(settings.model);
  if (static_cast<int>(settings.globals.size()) != counts.ng || static_cast<int>(settings.locals.size()) != counts.nl)
    throw std::invalid_argument("model " + std::to_string(settings.model) + " takes " + std::to_string(counts.ng) +
                                " globals and " + std::to_string(counts.nl) + " locals");
  const model::Esde esde{settings.k1, settings.k2, settings.model};
  model::Globals globals{};
  for (std::size_t i = 0; i < settings.globals.size(); ++i) globals[i] = settings.globals[i];

  if (!std::is_sorted(settings.truth_ages.begin(), settings.truth_ages.end()))
    throw std::invalid_argument("the truth ages must be in increasing order");
  Random random(settings.seed);
  const int most = std::max(settings.measurements, settings.max_measurements);
  std::vector<double> ages(static_cast<std::size_t>(most));
  std::vector<double> heights(ages.size());
  std::vector<double> true_heights(settings.truth_ages.size());
  for (long long p = 0; p < settings.plots; ++p) {
    const int measurements =
        most > settings.measurements
            ? settings.measurements +
                  static_cast<int>(random.next() % static_cast<std::uint64_t>(most - settings.measurements + 1))
            : settings.measurements;
    for (int attempt = 0;; ++attempt) {
      if (attempt == 1000) throw std::runtime_error("cannot draw positive heights; check the parameters");
      model::Locals locals{};
      bool positive_locals = true;
      for (std::size_t l = 0; l < settings.locals.size(); ++l) {
        locals[l] = settings.locals[l].first + settings.locals[l].second * random.normal();
        positive_locals &= locals[l] > 0.0;
      }
      if (!positive_locals) continue;
      model::Curve curve{};
      model::trpars(esde, globals, locals, curve);
      const double a = curve[model::kCurveA], b = curve[model::kCurveB], c = curve[model::kCurveC];
      const double vs = curve[model::kCurveS0] * curve[model::kCurveS0],
                   vp = curve[model::kCurveSp] * curve[model::kCurveSp],
                   ve = curve[model::kCurveSe] * curve[model::kCurveSe];
      const double t0 = curve[model::kCurveT0], y0 = curve[model::kCurveY0];
      const double ac = std::pow(a, c);
      double state = (y0 - ac) / c + std::sqrt(vs) * random.normal();
      double t_prev = t0;
      bool positive = true;
      const double offset = settings.spacing * 0.25 * static_cast<double>(p % 4);
      // The true state at the truth ages up to `until`, drawn in age order with the measurements'.
      std::size_t next_truth = 0;
      auto draw_truth = [&](double until) {
        for (; next_truth < true_heights.size() && settings.truth_ages[next_truth] < until; ++next_truth) {
          const double e = std::exp(-b * (settings.truth_ages[next_truth] - t_prev));
          state = e * state + std::sqrt(vp * (1.0 - e * e)) * random.normal();
          const double base = c * state + ac;
          true_heights[next_truth] = std::pow(base, 1.0 / c);
          positive &= base > 0.0 && std::isfinite(true_heights[next_truth]);
          t_prev = settings.truth_ages[next_truth];
        }
      };
      for (int i = 0; i < measurements; ++i) {
        const double t = settings.first_age + offset + settings.spacing * i;
        draw_truth(t);
        const double e = std::exp(-b * (t - t_prev));
        state = e * state + std::sqrt(vp * (1.0 - e * e)) * random.normal();
        const double base = c * (state + std::sqrt(ve) * random.normal()) + ac;
        const double h = std::pow(base, 1.0 / c);
        positive &= base > 0.0 && std::isfinite(h) && h > 0.0;
        ages[static_cast<std::size_t>(i)] = t;
        heights[static_cast<std::size_t>(i)] = h;
        t_prev = t;
      }
      draw_truth(std::numeric_limits<double>::infinity());
      if (!positive) continue;
      for (int i = 0; i < measurements; ++i)
        std::fprintf(out, "%lld %.10g %.10g\n", p + 1, ages[static_cast<std::size_t>(i)],
                     heights[static_cast<std::size_t>(i)]);
      write_truth(truth, p + 1, settings.truth_ages, true_heights, locals, settings.locals.size());
      break;
    }
  }
}

std::string preparer_answers(const SimulationSettings& settings) {
  std::ostringstream s;
  s.precision(17);
  s << settings.locals.size() << " 1 1 1 0 0 0\n";
  for (std::size_t l = 0; l < settings.locals.size(); ++l) s << "0 ";
  s << "\n";
  for (const auto& [mean, sd] : settings.locals) s << mean << " ";
  s << "\n";
  return s.str();
}

std::string control_file(const SimulationSettings& settings) {
  common::ControlFile control;
  control.title =
      "Simulated data: model " + std::to_string(settings.model) + ", " + std::to_string(settings.plots) + " plots";
  control.ng = static_cast<int>(settings.globals.size());
  control.nl = static_cast<int>(settings.locals.size());
  control.np = static_cast<int>(settings.plots);
  control.mfreq = settings.mfreq;
  control.itlim = settings.itlim;
  control.tol = settings.tol;
  if (settings.globals.size() > control.globals.size()) throw std::invalid_argument("more globals than a run takes");
  std::copy(settings.globals.begin(), settings.globals.end(), control.globals.begin());
  control.model = settings.model;
  control.k1 = settings.k1;
  control.k2 = settings.k2;
  return common::control_text(control, {.digits = 17, .globals_note = "", .model_note = ""});
}

}  // namespace bench
