#include "support/fit_problem.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

#include "common/control_file_writer.hpp"
#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "common/plot_file_writers.hpp"
#include "io/binary_file.hpp"

std::string control_text(const ControlSettings& s, int np) {
  common::ControlFile control;
  control.title = s.title;
  control.ng = s.ng;
  control.nl = s.nl;
  control.np = np;
  control.unit_values = s.units;
  control.mfreq = s.mfreq;
  control.itlim = s.itlim;
  control.tol = s.tol;
  std::copy_n(s.globals.begin(), std::min(s.globals.size(), control.globals.size()), control.globals.begin());
  control.model = s.model;
  control.k1 = s.k1;
  control.k2 = s.k2;
  return common::control_text(control, {.digits = 17, .globals_note = "", .model_note = ""});
}

FitFiles write_fit_problem(const TempDir& dir, const std::vector<TestPlot>& plots, const ControlSettings& s,
                           const std::string& prefix) {
  FitFiles f{dir / (prefix + ".ctl"), dir / (prefix + ".dat"), dir / (prefix + ".loc"), dir / (prefix + ".rep")};
  io::SequentialWriter data(f.data, "data file");
  io::DirectAccessFile locals = common::open_local_file(f.locals, io::DirectAccessFile::Mode::create);
  int record = 0;
  for (const TestPlot& p : plots) {
    common::write_data_plot(data, p.id, static_cast<int>(p.ages.size()), p.ages.data(), p.heights.data());
    common::StartRecord reals{};
    for (std::size_t i = 0; i < p.locals.size(); ++i) reals[i] = p.locals[i];
    common::write_start_record(locals, ++record, p.id, reals);
  }
  data.finish();
  dir.write(prefix + ".ctl", control_text(s, s.np < 0 ? static_cast<int>(plots.size()) : s.np));
  return f;
}

std::vector<TestPlot> simulate_model1(unsigned seed, int plots, int measurements, const std::vector<double>& g,
                                      double mean_asymptote, double spread, double start_asymptote) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  const double b = g[0], c = g[1], vp = g[2] * g[2], ve = g[3] * g[3];
  std::vector<TestPlot> out;
  for (int p = 0; p < plots; ++p) {
    for (;;) {
      const double a = mean_asymptote + spread * normal(rng);
      const double ac = std::pow(a, c);
      TestPlot plot{1000 + p, {}, {}, {start_asymptote}};
      double t_prev = 0.0;
      double x = -ac / c;  // start state: height 0 at age 0, no start deviation
      bool positive = true;
      for (int i = 0; i < measurements; ++i) {
        const double t = 1.0 + 2.0 * i + 0.5 * (p % 3);
        const double e = std::exp(-b * (t - t_prev));
        x = e * x + std::sqrt(vp * (1.0 - e * e)) * normal(rng);
        const double y = x + std::sqrt(ve) * normal(rng);
        const double base = c * y + ac;
        if (!(base > 0.0)) positive = false;
        plot.ages.push_back(t);
        plot.heights.push_back(std::pow(base, 1.0 / c));
        t_prev = t;
      }
      if (positive) {
        out.push_back(plot);
        break;
      }
    }
  }
  return out;
}
