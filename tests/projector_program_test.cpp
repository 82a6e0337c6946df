// The projector program on data simulated at known parameters, and on bad input.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "bench/simulation.hpp"
#include "support/csv_table.hpp"
#include "support/plot_records.hpp"
#include "support/program.hpp"
#include "support/results_file.hpp"
#include "support/temp_dir.hpp"

namespace {

ProgramResult run_projector(const std::vector<std::string>& args) { return run_program(PROJECTOR_PATH, args); }

// Plots simulated by the bench simulator from model 4 (local asymptote, start
// deviation estimated), prepared with the drawn locals as the local-parameter
// file, and a results file holding the true globals: the projector then works
// at the truth. True heights are kept at ages between and after the measurements
// (at 1 + 2k plus a plot's offset of 0 to 1.5).
class SimulatedTruth : public ::testing::Test {
 protected:
  static constexpr int kPlots = 2000;
  static inline const std::vector<double> kTruthAges = {2.0, 12.25, 24.0, 35.0};

  static void SetUpTestSuite() {
    dir = std::make_unique<TempDir>();
    bench::SimulationSettings s;
    s.model = 4;
    s.globals = {0.15, 0.7, 0.05, 0.2, 0.05};
    s.locals = {{3.0, 0.4}};
    s.plots = kPlots;
    s.seed = 7;
    s.truth_ages = kTruthAges;
    {
      std::unique_ptr<std::FILE, int (*)(std::FILE*)> raw(std::fopen((*dir / "sim.txt").c_str(), "w"), std::fclose),
          heights(std::fopen((*dir / "sim.truth").c_str(), "w"), std::fclose),
          locals(std::fopen((*dir / "sim.locals").c_str(), "w"), std::fclose);
      bench::write_raw_data(s, raw.get(), {heights.get(), locals.get()});
    }
    // One local read from column 2 of the parameter file, identifiers in column 1.
    const ProgramResult prep = run_preparer({*dir / "sim.txt", *dir / "sim.dat", *dir / "sim.loc", *dir / "sim.locals"},
                                            "1 1 1 1 2 0 1\n2\n3.0\n");
    ASSERT_EQ(prep.status, 0) << prep.out << prep.err;
    // A fit of the same data by the estimator, from the truth.
    std::filesystem::copy_file(*dir / "sim.loc", *dir / "fit.loc");
    dir->write("fit.ctl", bench::control_file(s));
    const ProgramResult fit = run_estimator(
        {*dir / "fit.ctl", *dir / "sim.dat", *dir / "fit.loc", *dir / "fit.rep", "--json", *dir / "fit.json"});
    ASSERT_EQ(fit.status, 0) << fit.err;
    write_results_file(*dir / "sim.json", {.model = 4, .globals = s.globals, .local_averages = {3.0}}, *dir / "sim.dat",
                       *dir / "sim.loc");
  }
  static void TearDownTestSuite() { dir.reset(); }

  static std::vector<std::string> files() { return {*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc"}; }
  static std::vector<std::string> fitted_files() { return {*dir / "fit.json", *dir / "sim.dat", *dir / "fit.loc"}; }

  // Coverage of the held-out true heights by the intervals of `args`, per truth age.
  static std::map<double, double> coverage(std::vector<std::string> args) {
    args.insert(args.end(), {"--projections", *dir / "p.csv", "--ages", "2,12.25,24,35", "--level", "0.9"});
    const ProgramResult r = run_projector(args);
    EXPECT_EQ(r.status, 0) << r.err;
    const CsvTable p = read_csv(*dir / "p.csv");
    EXPECT_EQ(p.rows.size(), kPlots * kTruthAges.size());
    std::stringstream truth(read_text(*dir / "sim.truth"));
    std::map<double, double> covered;
    double id = 0, age = 0, height = 0;
    for (std::size_t k = 0; k < p.rows.size() && truth >> id >> age >> height; ++k) {
      EXPECT_EQ(p.at(k, "id"), id);
      EXPECT_EQ(p.at(k, "age"), age);
      covered[age] += (p.at(k, "lower") <= height && height <= p.at(k, "upper")) / double(kPlots);
      EXPECT_LE(p.at(k, "measurement_lower"), p.at(k, "lower"));
      EXPECT_GE(p.at(k, "measurement_upper"), p.at(k, "upper"));
    }
    return covered;
  }
  // Mean and variance of the standardised innovations of `args`.
  static std::pair<double, double> innovation_moments(std::vector<std::string> args) {
    args.insert(args.end(), {"--residuals", *dir / "r.csv"});
    const ProgramResult r = run_projector(args);
    EXPECT_EQ(r.status, 0) << r.err;
    const CsvTable t = read_csv(*dir / "r.csv");
    EXPECT_EQ(t.rows.size(), kPlots * 10u);
    double sum = 0, squares = 0;
    for (std::size_t k = 0; k < t.rows.size(); ++k) {
      const double e = t.at(k, "standardised_innovation");
      sum += e;
      squares += e * e;
      EXPECT_NEAR(t.at(k, "fitted"), t.at(k, "height"), 0.25 * t.at(k, "height") + 0.1);
    }
    const double n = static_cast<double>(t.rows.size()), mean = sum / n;
    return {mean, squares / n - mean * mean};
  }

  static inline std::unique_ptr<TempDir> dir;
};

// 90% intervals for the held-out true heights cover 90% +- 2% at every age at
// the true parameters (the mathematics). At the estimator's estimates the
// plug-in intervals ignore the estimates' own error, and the joint fit of a
// local asymptote per plot underestimates the process deviation (0.14 here
// against 0.2): coverage is then lower the further the age lies beyond the
// measurements. That is shown, and only bounded loosely, within the measured
// ages (2 and 12.25) and beyond them (24 and 35).
TEST_F(SimulatedTruth, IntervalsCoverHeldOutTrueHeights) {
  for (const auto& [age, share] : coverage(files())) {
    std::printf("coverage at the truth, age %g: %.4f\n", age, share);
    EXPECT_NEAR(share, 0.90, 0.02) << "age " << age;
  }
  for (const auto& [age, share] : coverage(fitted_files())) {
    std::printf("coverage at the estimates, age %g: %.4f\n", age, share);
    EXPECT_GT(share, age < 20 ? 0.84 : 0.6) << "age " << age;
    EXPECT_LT(share, 0.92) << "age " << age;
  }
}

// Standardised innovations: mean 0 and variance 1 within three standard
// errors at the truth and at the estimates; fitted heights near the measured.
TEST_F(SimulatedTruth, StandardisedInnovationsAreStandardNormal) {
  const double n = kPlots * 10.0;
  for (const auto& [what, args] : {std::pair{"truth", files()}, std::pair{"estimates", fitted_files()}}) {
    const auto [mean, variance] = innovation_moments(args);
    std::printf("innovations at the %s: mean %.4f variance %.4f over %g\n", what, mean, variance, n);
    EXPECT_NEAR(mean, 0.0, 3.0 / std::sqrt(n)) << what;
    EXPECT_NEAR(variance, 1.0, 3.0 * std::sqrt(2.0 / n)) << what;
  }
}

// Raw units are the scaled ones times the scales (here of a results file
// that gives none, as one of a run without the preparer's metadata); the site
// index is the projection at the base age; --ids selects plots.
TEST_F(SimulatedTruth, UnitsSiteIndexAndSelectionAgree) {
  auto scaled = files(), raw = files();
  raw[0] = *dir / "unscaled.json";
  write_results_file(raw[0], {.model = 4, .globals = {0.15, 0.7, 0.05, 0.2, 0.05}, .local_averages = {3.0},
                              .scales = false},
                     *dir / "sim.dat", *dir / "sim.loc");
  scaled.insert(scaled.end(), {"--projections", *dir / "s.csv", "--ages", "5,12", "--ids", "3,17", "--site-index",
                               *dir / "si.csv", "--base-age", "12"});
  raw.insert(raw.end(), {"--projections", *dir / "raw.csv", "--ages", "50:120:70", "--ids", "3,17", "--age-scale", "10",
                         "--height-scale", "0.3048"});
  ASSERT_EQ(run_projector(scaled).status, 0);
  ASSERT_EQ(run_projector(raw).status, 0);
  const CsvTable s = read_csv(*dir / "s.csv"), r = read_csv(*dir / "raw.csv"), si = read_csv(*dir / "si.csv");
  ASSERT_EQ(s.rows.size(), 4u);
  ASSERT_EQ(r.rows.size(), 4u);
  ASSERT_EQ(si.rows.size(), 2u);
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(s.at(k, "id"), k < 2 ? 3 : 17);
    EXPECT_DOUBLE_EQ(r.at(k, "age"), 10 * s.at(k, "age"));
    for (const char* c : {"median", "lower", "upper", "measurement_lower", "measurement_upper"})
      EXPECT_DOUBLE_EQ(r.at(k, c), 0.3048 * s.at(k, c)) << c;
    EXPECT_EQ(r.at(k, "state_mean"), s.at(k, "state_mean"));
  }
  for (std::size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(si.at(k, "site_index"), s.at(2 * k + 1, "median"));
    EXPECT_EQ(si.at(k, "upper"), s.at(2 * k + 1, "upper"));
  }
}

// Bad input: a clear message naming what is at fault, status 2, no output.
TEST_F(SimulatedTruth, BadInputIsRefusedWithAClearMessage) {
  // A results file of another run: the same plots, other locals.
  std::filesystem::copy_file(*dir / "sim.loc", *dir / "other.loc", std::filesystem::copy_options::overwrite_existing);
  {
    std::vector<unsigned char> other = read_bytes(*dir / "other.loc");
    const double changed = 2.5;
    common::encode_reals(&changed, 0, 1, record_bytes(other, 6));
    dir->write_bytes("other.loc", other);
  }
  std::string json = read_text(*dir / "sim.json");
  const std::string model13 =
      dir->write("m13.json", std::string(json).replace(json.find("\"number\": 4"), 11, "\"number\": 13"));
  // The results file names the plot files the run was given: the message names the one expected.
  const auto naming = [&](const std::string& name, const std::string& locals) {
    nlohmann::ordered_json j = nlohmann::ordered_json::parse(json);
    j["files"]["locals"] = locals;
    return dir->write(name, j.dump(2));
  };
  const std::string named = naming("named.json", *dir / "sim.loc"), same = naming("same.json", *dir / "other.loc");
  const std::string random = [&] {
    nlohmann::ordered_json j = nlohmann::ordered_json::parse(json);
    j["locals"] = "random";
    return dir->write("random.json", j.dump(2));
  }();
  // A number beyond double's range is not JSON's business to hold: refused like a syntax error.
  const std::string overflow = dir->write("overflow.json", "{\"overflow\": 1e99999," + json.substr(json.find('{') + 1));
  const std::string out = *dir / "bad.csv";
  const std::string unscaled = *dir / "unscaled.json";
  write_results_file(unscaled, {.model = 4, .globals = {0.15, 0.7, 0.05, 0.2, 0.05}, .local_averages = {3.0},
                                .scales = false},
                     *dir / "sim.dat", *dir / "sim.loc");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "other.loc", "--residuals", out},
       "local-parameter file '" + *dir / "other.loc" + "' is not the one the results file's run left"},
      {{named, *dir / "sim.dat", *dir / "other.loc", "--residuals", out},
       "); the run was given the local-parameter file '" + *dir / "sim.loc" + "'"},
      {{same, *dir / "sim.dat", *dir / "other.loc", "--residuals", out},
       "; the run was given a file of that name, which has changed since"},
      {{model13, *dir / "sim.dat", *dir / "sim.loc", "--residuals", out}, "does not name the parameters of model 13"},
      {{random, *dir / "sim.dat", *dir / "sim.loc", "--residuals", out}, "\"/nodes_per_local\" is missing"},
      {{*dir / "sim.dat", *dir / "sim.dat", *dir / "sim.loc", "--residuals", out}, "is not JSON"},
      {{overflow, *dir / "sim.dat", *dir / "sim.loc", "--residuals", out},
       "is not JSON: [json.exception.out_of_range.406]"},
      {{*dir / "none.json", *dir / "sim.dat", *dir / "sim.loc", "--residuals", out}, "cannot open the results file"},
      {{*dir / "sim.json", *dir / "none.dat", *dir / "sim.loc", "--residuals", out}, "cannot open the data file"},
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc", "--projections", out, "--ages", "5,x"},
       "--ages \"5,x\": item \"x\" is not a number"},
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc", "--projections", out, "--ages", "9:1:1"},
       "is not a range FROM:TO:STEP"},
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc", "--residuals", out, "--level", "1"},
       "--level \"1\": item \"1\" is not a number strictly between 0 and 1"},
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc", "--residuals", out, "--level", "-0.5"},
       "strictly between 0 and 1"},
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc", "--residuals", out, "--bogus", "1"},
       "unknown option \"--bogus\""},
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc"},
       "no output asked for (--projections, --residuals, --site-index, --population, a figure, --summary-page, "
       "--new-locals or a site-curve output)"},
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc", "--residuals", out, "--summary-page", *dir / "p.html",
        "--comparison", *dir / "sim.json"},
       "comparison table '" + *dir / "sim.json" + "', line 1: not the header of the comparer's comparison.csv"},
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc", "--residuals", out, "--comparison", *dir / "sim.json"},
       "--comparison needs --summary-page"},
      {{unscaled, *dir / "sim.dat", *dir / "sim.loc", "--residuals", out},
       "the results file '" + unscaled + "' does not give the data's scales"},
      {{unscaled, *dir / "sim.dat", *dir / "sim.loc", "--residuals", out, "--age-scale", "10"},
       "give --age-scale and --height-scale, the scales given to the preparer, or --scaled-units"},
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc", "--residuals", out, "--age-scale", "1",
        "--height-scale", "0.3048"},
       "--height-scale 0.3048 contradicts the height scale 1 of the data, which the results file '" + *dir / "sim.json" +
           "' gives (from the preparer's metadata '" + *dir / "sim.dat.meta.json" + "')"},
      {{*dir / "sim.json", *dir / "sim.dat", *dir / "sim.loc", "--residuals", out, "--scaled-units", "--age-scale",
        "1"},
       "--scaled-units excludes --age-scale and --height-scale"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = run_projector(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_NE(r.err.find("projector: "), std::string::npos);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << "expected: " << c.message << "\ngot: " << r.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.message;
  }
  const ProgramResult help = run_projector({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: projector", 0), 0u);
}

}  // namespace
