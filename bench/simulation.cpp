#include "bench/simulation.hpp"

#include <cmath>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "estimator/models/model_table.hpp"
#include "estimator/models/models.hpp"

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

}  // namespace

void write_raw_data(const SimulationSpec& spec, std::FILE* out) {
  if (!estimator::valid_model(spec.model)) throw std::invalid_argument("model number must be 1 to 18");
  const auto counts = estimator::model_counts(spec.model);
  if (static_cast<int>(spec.globals.size()) != counts.ng || static_cast<int>(spec.locals.size()) != counts.nl)
    throw std::invalid_argument("model " + std::to_string(spec.model) + " takes " + std::to_string(counts.ng) +
                                " globals and " + std::to_string(counts.nl) + " locals");
  estimator::esde.model = spec.model;
  estimator::esde.k1 = spec.k1;
  estimator::esde.k2 = spec.k2;
  estimator::Globals globals{};
  for (std::size_t i = 0; i < spec.globals.size(); ++i) globals[i] = spec.globals[i];

  Random random(spec.seed);
  std::vector<double> ages(static_cast<std::size_t>(spec.measurements));
  std::vector<double> heights(ages.size());
  for (long long p = 0; p < spec.plots; ++p) {
    for (int attempt = 0;; ++attempt) {
      if (attempt == 1000) throw std::runtime_error("cannot draw positive heights; check the parameters");
      estimator::Locals locals{};
      bool positive_locals = true;
      for (std::size_t l = 0; l < spec.locals.size(); ++l) {
        locals[l] = spec.locals[l].first + spec.locals[l].second * random.normal();
        positive_locals &= locals[l] > 0.0;
      }
      if (!positive_locals) continue;
      estimator::Curve curve{};
      estimator::trpars(globals, locals, curve);
      const double a = curve[0], b = curve[1], c = curve[2];
      const double vs = curve[3] * curve[3], vp = curve[4] * curve[4], ve = curve[5] * curve[5];
      const double t0 = curve[6], y0 = curve[7];
      const double ac = std::pow(a, c);
      double state = (y0 - ac) / c + std::sqrt(vs) * random.normal();
      double t_prev = t0;
      bool positive = true;
      const double offset = spec.spacing * 0.25 * static_cast<double>(p % 4);
      for (int i = 0; i < spec.measurements; ++i) {
        const double t = spec.first_age + offset + spec.spacing * i;
        const double e = std::exp(-b * (t - t_prev));
        state = e * state + std::sqrt(vp * (1.0 - e * e)) * random.normal();
        const double base = c * (state + std::sqrt(ve) * random.normal()) + ac;
        const double h = std::pow(base, 1.0 / c);
        positive &= base > 0.0 && std::isfinite(h) && h > 0.0;
        ages[static_cast<std::size_t>(i)] = t;
        heights[static_cast<std::size_t>(i)] = h;
        t_prev = t;
      }
      if (!positive) continue;
      for (int i = 0; i < spec.measurements; ++i)
        std::fprintf(out, "%lld %.10g %.10g\n", p + 1, ages[static_cast<std::size_t>(i)], heights[static_cast<std::size_t>(i)]);
      break;
    }
  }
}

std::string preparer_answers(const SimulationSpec& spec) {
  std::ostringstream s;
  s.precision(17);
  s << spec.locals.size() << " 1 1 1 0 0 0\n";
  for (std::size_t l = 0; l < spec.locals.size(); ++l) s << "0 ";
  s << "\n";
  for (const auto& [mean, sd] : spec.locals) s << mean << " ";
  s << "\n";
  return s.str();
}

std::string control_file(const SimulationSpec& spec) {
  std::ostringstream s;
  s.precision(17);
  s << "Simulated data: model " << spec.model << ", " << spec.plots << " plots\n";
  s << spec.globals.size() << " " << spec.locals.size() << " " << spec.plots << "\n1 1 1 1\n";
  s << spec.mfreq << " " << spec.itlim << " " << spec.tol << "\n";
  for (double g : spec.globals) s << g << " ";
  s << "\n" << spec.model << " " << spec.k1 << " " << spec.k2 << "\n";
  return s.str();
}

}  // namespace bench
