// The final report: its layout line by line, its internal identities, its
// standard errors against an independent finite-difference Hessian, and a
// restart from the local-parameter file a run leaves behind.
#include <gtest/gtest.h>

#include <cmath>

#include "common/limits.hpp"
#include "io/byte_order.hpp"
#include "model/likelihood.hpp"
#include "model/models.hpp"
#include "support/fit_problem.hpp"
#include "support/plot_records.hpp"
#include "support/program.hpp"
#include "support/trace.hpp"

namespace {

const std::vector<double> kTruth = {0.15, 0.7, 0.2, 0.05};

struct Fit {
  ProgramResult result;
  Trace trace;
  std::vector<std::string> report;
  FitFiles files;
};

Fit fit(const TempDir& dir, const std::vector<TestPlot>& plots, const ControlSettings& s, const std::string& prefix) {
  const FitFiles f = write_fit_problem(dir, plots, s, prefix);
  Fit r{run_estimator(f.args()), {}, {}, f};
  r.trace = parse_trace(r.result.out);
  r.report = split_lines(read_text(f.report));
  return r;
}

ControlSettings settings(int itlim, std::vector<double> globals = {0.16, 0.68, 0.22, 0.06}) {
  ControlSettings s;
  s.title = "REPORT TEST";
  s.globals = std::move(globals);
  s.itlim = itlim;
  s.mfreq = 1000;
  return s;
}

// One expected report line: a literal prefix (the whole line when there are
// no fields), then `fields` numeric fields of `width` characters each.
struct LineShape {
  std::string prefix;
  std::size_t fields = 0;
  std::size_t width = 0;
};

bool is_number_field(const std::string& f) {
  const std::size_t start = f.find_first_not_of(' ');
  if (start == std::string::npos) return false;
  const std::string core = f.substr(start, f.find_last_not_of(' ') - start + 1);
  char* stop = nullptr;
  std::strtod(core.c_str(), &stop);
  // A three-digit exponent is written without its E ("0.10000+101").
  return *stop == '\0' || core.find_first_of("+-", 1) != std::string::npos;
}

// The expected shape of every report line.
std::vector<LineShape> report_shape(std::size_t ng, std::size_t nl, int np, const std::vector<std::string>& outcome) {
  std::vector<LineShape> s;
  s.push_back({" REPORT TEST" + std::string(69, ' ')});
  s.push_back({""});
  for (const std::string& o : outcome) s.push_back({o});
  s.push_back({"0    PLOT     N    FUNCTION      LOCAL PARAMETERS AND STANDARD ERRORS"});
  // Plot lines: a blank, identifier (I12) and count (I4) as two numeric
  // fields after the blank are checked below; then 1 + 2 nl G13.6 fields.
  for (int p = 0; p < np; ++p) s.push_back({"plot", 1 + 2 * nl, 13});
  s.push_back({"0"});
  s.push_back({" NUMBER OF PLOTS:", 1, 4});
  s.push_back({"0NUMBER OF MEASUREMENTS:", 1, 5});
  s.push_back({"0LOG-LIKELIHOOD:", 1, 14});
  s.push_back({""});
  s.push_back({""});
  s.push_back({"0GLOBAL PARAMETERS:"});
  s.push_back({"", ng, 15});
  s.push_back({"0STANDARD ERRORS:"});
  s.push_back({"", ng, 15});
  s.push_back({"0CORRELATIONS:"});
  for (std::size_t i = 1; i <= ng; ++i) s.push_back({"", i, 15});
  for (const char* title :
       {"0LOCAL PARAMETERS (WEIGHTED AVERAGES): ", "0ABS. VALUE OF LOCAL PARAMETERS (WEIGHTED AVERAGES): "}) {
    s.push_back({"0"});
    s.push_back({title});
    s.push_back({"", nl, 15});
    s.push_back({"0STANDARD ERRORS:"});
    s.push_back({"", nl, 15});
    s.push_back({"0CORRELATIONS:"});
    for (std::size_t i = 1; i <= nl; ++i) s.push_back({"", i, 15});
    s.push_back({"0CORRELATION WITH GLOBAL PARAMETERS:"});
    for (std::size_t i = 1; i <= nl; ++i) s.push_back({"", ng, 15});
  }
  return s;
}

void expect_shape(const std::vector<std::string>& report, std::size_t ng, std::size_t nl, int np,
                  const std::vector<std::string>& outcome) {
  const std::vector<LineShape> shape = report_shape(ng, nl, np, outcome);
  ASSERT_EQ(report.size(), shape.size());
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const LineShape& e = shape[i];
    const std::string& line = report[i];
    if (e.fields == 0) {
      EXPECT_EQ(line, e.prefix) << "line " << i;
      continue;
    }
    std::size_t lead = e.prefix.size();
    if (e.prefix == "plot") {
      lead = 17;
      ASSERT_GE(line.size(), lead) << "line " << i;
      EXPECT_EQ(line[0], ' ') << "line " << i;
      EXPECT_TRUE(is_number_field(line.substr(1, 12)) && line[12] != ' ') << "identifier in I12, line " << i;
      EXPECT_TRUE(is_number_field(line.substr(13, 4)) && line[16] != ' ') << "count in I4, line " << i;
    } else {
      EXPECT_EQ(line.substr(0, lead), e.prefix) << "line " << i;
    }
    ASSERT_EQ(line.size(), lead + e.fields * e.width) << "line " << i << ": [" << line << "]";
    for (std::size_t k = 0; k < e.fields; ++k)
      EXPECT_TRUE(is_number_field(line.substr(lead + k * e.width, e.width))) << "line " << i << " field " << k;
  }
}

double value(const std::string& line, std::size_t k, std::size_t w = 15) {
  return std::strtod(line.substr(k * w, w).c_str(), nullptr);
}

std::size_t find_line(const std::vector<std::string>& r, const std::string& text, std::size_t from = 0) {
  for (std::size_t i = from; i < r.size(); ++i)
    if (r[i] == text) return i;
  ADD_FAILURE() << "no line " << text;
  return 0;
}

TEST(Report, LayoutAndIdentitiesForOneAndTwoLocals) {
  TempDir dir;
  const auto plots = simulate_model1(21, 6, 30, kTruth, 3.0, 0.3, 2.9);
  const Fit f = fit(dir, plots, settings(50), "one");
  ASSERT_EQ(f.result.status, 0) << f.result.err;
  expect_shape(f.report, 4, 1, 6, {"0CONVERGED"});

  // Log-likelihood is minus one half of the last FUNCT.
  const std::size_t ll = find_line(f.report, "0NUMBER OF MEASUREMENTS:  180") + 1;
  EXPECT_NEAR(std::strtod(f.report[ll].substr(16).c_str(), nullptr), -0.5 * f.trace.summaries.back().funct,
              1e-6 * std::fabs(f.trace.summaries.back().funct));
  // Correlation blocks end every line with the diagonal 1.
  for (std::size_t at = find_line(f.report, "0CORRELATIONS:"); at != 0 && at + 1 < f.report.size();) {
    for (std::size_t i = at + 1; i < f.report.size() && f.report[i][0] == ' '; ++i)
      EXPECT_EQ(f.report[i].substr(f.report[i].size() - 15), "   1.000000    ");
    std::size_t next = at + 1;
    while (next < f.report.size() && f.report[next] != "0CORRELATIONS:") ++next;
    at = next < f.report.size() ? next : 0;
  }
  // Positive locals: the summary of absolute values repeats the plain one.
  const std::size_t plain = find_line(f.report, "0LOCAL PARAMETERS (WEIGHTED AVERAGES): ");
  const std::size_t abs = find_line(f.report, "0ABS. VALUE OF LOCAL PARAMETERS (WEIGHTED AVERAGES): ");
  for (std::size_t k = 1; k < abs - plain - 1; ++k) EXPECT_EQ(f.report[plain + k], f.report[abs + k]);

  // Model 13: two locals, one of them (the rate) negative for some plots. The
  // ages are short enough for the variances to stay positive.
  std::vector<TestPlot> two = plots;
  for (std::size_t p = 0; p < two.size(); ++p) {
    two[p].locals = {2.9, p % 2 ? 0.15 : -0.15};
    for (double& t : two[p].ages) t *= 0.01;
  }
  ControlSettings s = settings(0, {0.7, 0.02, 0.05});
  s.ng = 3;
  s.nl = 2;
  s.model = 13;
  const Fit g = fit(dir, two, s, "two");
  ASSERT_EQ(g.result.status, 0) << g.result.err;
  expect_shape(g.report, 3, 2, 6, {"0ITERATION LIMIT EXCEEDED. IGNORE STANDARD ERRORS AND CORRELATIONS BELOW"});
  const std::size_t p2 = find_line(g.report, "0LOCAL PARAMETERS (WEIGHTED AVERAGES): ");
  const std::size_t a2 = find_line(g.report, "0ABS. VALUE OF LOCAL PARAMETERS (WEIGHTED AVERAGES): ");
  EXPECT_EQ(g.report[p2 + 3], g.report[a2 + 3]) << "standard errors of the absolute averages are the same";
  EXPECT_NE(g.report[p2 + 6], g.report[a2 + 6]) << "correlations differ once some p_i p_j < 0";
  EXPECT_NE(g.report[p2 + 9], g.report[a2 + 9]) << "correlations with globals differ once some p_i < 0";
}

TEST(Report, SameShapeWhateverTheOutcome) {
  TempDir dir;
  const auto plots = simulate_model1(22, 5, 20, kTruth, 3.0, 0.3, 2.9);
  const Fit limited = fit(dir, plots, settings(1, {0.3, 0.5, 0.3, 0.1}), "limited");
  expect_shape(limited.report, 4, 1, 5, {"0ITERATION LIMIT EXCEEDED. IGNORE STANDARD ERRORS AND CORRELATIONS BELOW"});
  // A start where the reduced global Hessian is not positive definite, and a
  // tolerance so loose that the run stops after that first iteration.
  const auto wide = simulate_model1(9, 5, 30, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.3, 2.95);
  ControlSettings s = settings(5, {0.152, 0.69, 0.19, 0.052});
  s.tol = 1e10;
  const Fit saddle = fit(dir, wide, s, "saddle");
  ASSERT_EQ(saddle.trace.summaries.size(), 1u);
  EXPECT_EQ(saddle.trace.summaries[0].npd0, 1);
  expect_shape(
      saddle.report, 4, 1, 5,
      {"0HESSIAN MATRIX NOT POSITIVE-DEFINITE. SADDLE POINT? ", " IGNORE STANDARD ERRORS AND CORRELATIONS BELOW"});
}

// Standard errors against 2 x the inverse of a Hessian of the total objective
// built by central differences over every global and every plot's local.
TEST(Report, StandardErrorsMatchAFiniteDifferenceHessian) {
  TempDir dir;
  const auto plots = simulate_model1(23, 4, 25, kTruth, 3.0, 0.3, 2.9);
  const Fit f = fit(dir, plots, settings(50), "se");
  ASSERT_EQ(f.report[2], "0CONVERGED");
  const int ng = 4;
  const int n = ng + static_cast<int>(plots.size());
  std::vector<double> x = f.trace.summaries.back().globals;
  const std::vector<unsigned char> records = read_bytes(f.files.locals);
  for (std::size_t p = 0; p < plots.size(); ++p) x.push_back(record_real(records, static_cast<std::int64_t>(p) + 1, 0));

  const model::Esde model1{1.0, 1.0, 1};
  auto total = [&](const std::vector<double>& v) {
    double sum = 0.0;
    const model::Globals g{v[0], v[1], v[2], v[3]};
    for (std::size_t p = 0; p < plots.size(); ++p) {
      model::Curve c{};
      model::trpars(model1, g, {v[static_cast<std::size_t>(ng) + p]}, c);
      sum += model::funct(c, static_cast<int>(plots[p].ages.size()), plots[p].ages.data(), plots[p].heights.data());
    }
    return sum;
  };
  std::vector<double> h(static_cast<std::size_t>(n * n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      const double si = 1e-4 * std::max(0.1, std::fabs(x[static_cast<std::size_t>(i)]));
      const double sj = 1e-4 * std::max(0.1, std::fabs(x[static_cast<std::size_t>(j)]));
      auto at = [&](double di, double dj) {
        std::vector<double> v = x;
        v[static_cast<std::size_t>(i)] += di;
        v[static_cast<std::size_t>(j)] += dj;
        return total(v);
      };
      const double hij = (at(si, sj) - at(si, -sj) - at(-si, sj) + at(-si, -sj)) / (4 * si * sj);
      h[static_cast<std::size_t>(i * n + j)] = h[static_cast<std::size_t>(j * n + i)] = hij;
    }
  // Invert by Gauss-Jordan.
  std::vector<double> inv(static_cast<std::size_t>(n * n), 0.0);
  for (int i = 0; i < n; ++i) inv[static_cast<std::size_t>(i * n + i)] = 1.0;
  for (int k = 0; k < n; ++k) {
    const double d = h[static_cast<std::size_t>(k * n + k)];
    for (int j = 0; j < n; ++j) {
      h[static_cast<std::size_t>(k * n + j)] /= d;
      inv[static_cast<std::size_t>(k * n + j)] /= d;
    }
    for (int i = 0; i < n; ++i) {
      if (i == k) continue;
      const double m = h[static_cast<std::size_t>(i * n + k)];
      for (int j = 0; j < n; ++j) {
        h[static_cast<std::size_t>(i * n + j)] -= m * h[static_cast<std::size_t>(k * n + j)];
        inv[static_cast<std::size_t>(i * n + j)] -= m * inv[static_cast<std::size_t>(k * n + j)];
      }
    }
  }
  auto se = [&](int i) { return std::sqrt(2.0 * inv[static_cast<std::size_t>(i * n + i)]); };
  const std::size_t globals_se = find_line(f.report, "0STANDARD ERRORS:") + 1;
  for (int i = 0; i < ng; ++i)
    EXPECT_NEAR(value(f.report[globals_se], static_cast<std::size_t>(i)), se(i), 1e-4 * se(i)) << "global " << i;
  for (std::size_t p = 0; p < plots.size(); ++p) {
    const double reported = std::strtod(f.report[4 + p].substr(17 + 26, 13).c_str(), nullptr);
    EXPECT_NEAR(reported, se(ng + static_cast<int>(p)), 1e-4 * se(ng + static_cast<int>(p))) << "plot " << p;
  }
}

TEST(Report, RestartFromTheLocalParameterFileReproducesTheFit) {
  TempDir dir;
  const auto plots = simulate_model1(24, 8, 20, kTruth, 3.0, 0.3, 2.9);
  const Fit first = fit(dir, plots, settings(50), "first");
  ASSERT_EQ(first.report[2], "0CONVERGED");
  ControlSettings again = settings(50, first.trace.summaries.back().globals);
  const FitFiles f = write_fit_problem(dir, plots, again, "again");
  std::filesystem::copy_file(first.files.locals, f.locals, std::filesystem::copy_options::overwrite_existing);
  const ProgramResult r = run_estimator(f.args());
  ASSERT_EQ(r.status, 0);
  const Trace t = parse_trace(r.out);
  EXPECT_LE(t.summaries.size(), 2u) << r.out;
  const std::vector<std::string> report = split_lines(read_text(f.report));
  EXPECT_EQ(report[2], "0CONVERGED");
  for (std::size_t i = 3; i < report.size(); ++i) EXPECT_EQ(report[i], first.report[i]) << "line " << i;
}

}  // namespace
