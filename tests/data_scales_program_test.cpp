// The scales travel with the data: the preparer's metadata beside the data
// file, the results file's scales and raw-unit estimates, and the projector's
// use of them. The raw-unit estimates are checked against a fit of the same
// measurements prepared with other scales: the two fits' optima are one
// optimum in two parametrisations, so that the raw estimates and their
// standard errors (the delta method) must agree to the fits' precision.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/csv_table.hpp"
#include "support/program.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

Json read_json(const std::string& path) {
  std::ifstream in(path);
  return Json::parse(in);
}

std::string answers(const std::string& scales) { return "1 1 " + scales + " 0 0 0\n0\n0\n"; }

// The raw file prepared with `scales` as PREFIX.dat and PREFIX.loc.
void prepare(const TempDir& dir, const std::string& raw, const std::string& prefix, const std::string& scales) {
  const ProgramResult r = run_preparer({raw, dir / (prefix + ".dat"), dir / (prefix + ".loc")}, answers(scales));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
}

// Starter (tolerance 1e-9) and estimator for `model` on PREFIX's files; the results file's path.
std::string fit(const TempDir& dir, const std::string& prefix, int model, const std::vector<std::string>& extra = {}) {
  const std::string name = prefix + "-" + std::to_string(model), locals = dir / (name + ".loc");
  fs::copy_file(dir / (prefix + ".loc"), locals, fs::copy_options::overwrite_existing);
  const ProgramResult started = run_program(STARTER_PATH, {dir / (prefix + ".dat"), locals, dir / (name + ".ctl"),
                                                           "--model", std::to_string(model), "--tolerance", "1e-9"});
  EXPECT_EQ(started.status, 0) << started.err;
  std::vector<std::string> args = {dir / (name + ".ctl"), dir / (prefix + ".dat"), locals, dir / (name + ".rep"),
                                   "--json", dir / (name + ".json")};
  args.insert(args.end(), extra.begin(), extra.end());
  const ProgramResult fitted = run_estimator(args);
  EXPECT_EQ(fitted.status, 0) << fitted.err;
  return dir / (name + ".json");
}

void expect_same_raw(const Json& a, const Json& b, const std::string& key, double estimates, double errors) {
  ASSERT_TRUE(a.contains(key) && b.contains(key)) << key;
  EXPECT_EQ(a[key]["names"], b[key]["names"]);
  EXPECT_EQ(a[key]["units"], b[key]["units"]);
  for (std::size_t i = 0; i < a[key]["names"].size(); ++i) {
    const std::string what = key + " " + a[key]["names"][i].get<std::string>();
    const double x = a[key]["estimates"][i], y = b[key]["estimates"][i];
    EXPECT_NEAR(x, y, estimates * std::max(1.0, std::fabs(x))) << what;
    const double sx = a[key]["standard_errors"][i], sy = b[key]["standard_errors"][i];
    EXPECT_NEAR(sx, sy, errors * std::max(1.0, sx)) << what << " standard error";
  }
}

// Loblolly in tens of years and feet and in years and feet: models with a
// local asymptote or rate, a start age, a start deviation, a start level and a
// tied asymptote a = a_scale b^a_exponent, whose raw forms depend on c and
// a_exponent. The 10/10 results also equal their scaled estimates converted by
// hand where that is a rescaling; the metadata holds the scales and counts.
TEST(DataScales, RawEstimatesAreTheSameWhateverTheScales) {
  TempDir dir;
  const std::string raw = (fs::path(GOLDEN_DIR) / "loblolly-model1" / "raw.txt").string();
  prepare(dir, raw, "tens", "10 10");
  prepare(dir, raw, "ones", "1 1");
  const Json meta = read_json(dir / "tens.dat.meta.json");
  EXPECT_EQ(meta["age_scale"], 10.0);
  EXPECT_EQ(meta["height_scale"], 10.0);
  EXPECT_EQ(meta["raw_file"], raw);
  std::ifstream lines(raw);
  std::int64_t measurements = 0;
  for (std::string line; std::getline(lines, line);) measurements += !line.empty();
  EXPECT_EQ(meta["measurements"], measurements);
  EXPECT_EQ(meta["plots"], 14);
  for (int model : {1, 3, 5, 7, 12}) {
    SCOPED_TRACE("model " + std::to_string(model));
    const Json tens = read_json(fit(dir, "tens", model)), ones = read_json(fit(dir, "ones", model));
    ASSERT_EQ(tens["outcome"], "converged");
    ASSERT_EQ(ones["outcome"], "converged");
    EXPECT_EQ(tens["fingerprints"]["data"], meta["data_fingerprint"]);
    EXPECT_EQ(tens["data_scales"]["age_scale"], 10.0);
    EXPECT_EQ(ones["data_scales"]["height_scale"], 1.0);
    expect_same_raw(tens, ones, "raw_globals", 1e-8, 1e-8);
    expect_same_raw(tens, ones, "raw_local_averages", 1e-8, 1e-8);
    const Json& g = tens["globals"];
    const Json& r = tens["raw_globals"];
    for (std::size_t i = 0; i < g["names"].size(); ++i) {
      const std::string name = g["names"][i];
      const double factor = name == "b" ? 0.1 : name == "a" || name == "t0" ? 10.0 : name == "c" ? 1.0 : 0.0;
      if (factor == 0.0) continue;
      EXPECT_DOUBLE_EQ(r["estimates"][i].get<double>(), factor * g["estimates"][i].get<double>()) << name;
      EXPECT_DOUBLE_EQ(r["standard_errors"][i].get<double>(), factor * g["standard_errors"][i].get<double>()) << name;
    }
  }
}

// The same for a random-locals fit (simulated plots, whose process deviation
// is not at 0): its standard errors come from a Hessian by differences, so
// they agree less closely.
TEST(DataScales, RandomLocalsRawEstimatesAreTheSameWhateverTheScales) {
  TempDir dir;
  const std::string raw = (fs::path(GOLDEN_DIR) / "model1" / "raw.txt").string();
  prepare(dir, raw, "ones", "1 1");
  prepare(dir, raw, "other", "2 5");
  std::vector<Json> runs;
  for (const char* prefix : {"ones", "other"}) {
    fit(dir, prefix, 1);  // fixed locals first: their locals start the population
    const std::string name = std::string(prefix) + "-1";
    const ProgramResult r = run_estimator({dir / (name + ".ctl"), dir / (std::string(prefix) + ".dat"),
                                           dir / (name + ".loc"), dir / (name + ".rep"), "--json",
                                           dir / (name + ".random.json"), "--random-locals"});
    ASSERT_EQ(r.status, 0) << r.err;
    runs.push_back(read_json(dir / (name + ".random.json")));
    ASSERT_EQ(runs.back()["outcome"], "converged");
  }
  EXPECT_EQ(runs[1]["data_scales"]["age_scale"], 2.0);
  expect_same_raw(runs[0], runs[1], "raw_globals", 1e-8, 1e-5);
  expect_same_raw(runs[0], runs[1], "raw_population", 1e-8, 1e-5);
}

// The projector takes the scales from the results file: without options it
// writes what it writes with the preparer's scales given, and in the scaled
// units with --scaled-units; the comparer's results carry the scales too, and
// its fixed-start models take them for their model constants. A
// metadata file that no longer describes its data file gives no scales.
TEST(DataScales, TheProjectorAndTheComparerTakeTheScalesOfTheData) {
  TempDir dir;
  const std::string raw = (fs::path(GOLDEN_DIR) / "loblolly-model1" / "raw.txt").string();
  prepare(dir, raw, "tens", "10 10");
  const std::string results = fit(dir, "tens", 1);
  const std::vector<std::string> files = {results, dir / "tens.dat", dir / "tens-1.loc"};
  const auto project = [&](const std::string& out, const std::string& ages, std::vector<std::string> extra) {
    std::vector<std::string> args = files;
    args.insert(args.end(), {"--projections", dir / out, "--ages", ages});
    args.insert(args.end(), extra.begin(), extra.end());
    const ProgramResult r = run_program(PROJECTOR_PATH, args);
    EXPECT_EQ(r.status, 0) << r.err;
    return read_text(dir / out);
  };
  const std::string by_default = project("default.csv", "5,15", {});
  EXPECT_EQ(by_default, project("given.csv", "5,15", {"--age-scale", "10", "--height-scale", "10"}));
  const CsvTable raw_table = read_csv(dir / "default.csv");
  project("scaled.csv", "0.5,1.5", {"--scaled-units"});
  const CsvTable scaled = read_csv(dir / "scaled.csv");
  ASSERT_EQ(raw_table.rows.size(), scaled.rows.size());
  for (std::size_t k = 0; k < scaled.rows.size(); ++k) {
    EXPECT_DOUBLE_EQ(raw_table.at(k, "age"), 10 * scaled.at(k, "age"));
    EXPECT_DOUBLE_EQ(raw_table.at(k, "median"), 10 * scaled.at(k, "median"));
  }

  // The comparer's runs carry the scales, and take them for the model constants of the fixed starts.
  const ProgramResult compared = run_program(
      COMPARER_PATH, {dir / "tens.dat", dir / "tens.loc", dir / "models", "--models", "1,14", "--jobs", "1"});
  ASSERT_EQ(compared.status, 0) << compared.err;
  const Json model1 = read_json(dir / "models/model-01/results.json");
  EXPECT_EQ(model1["data_scales"]["age_scale"], 10.0);
  EXPECT_EQ(model1["data_scales"]["metadata"], fs::absolute(dir / "tens.dat.meta.json").string());
  EXPECT_EQ(read_json(dir / "models/model-14/results.json")["model"]["constants"], Json::array({10.0, 10.0}));

  // Metadata copied beside another data file describes it no more.
  prepare(dir, (fs::path(GOLDEN_DIR) / "model1" / "raw.txt").string(), "other", "1 1");
  fs::copy_file(dir / "tens.dat.meta.json", dir / "other.dat.meta.json", fs::copy_options::overwrite_existing);
  const std::string name = "other-1";
  fs::copy_file(dir / "other.loc", dir / (name + ".loc"));
  ASSERT_EQ(run_program(STARTER_PATH, {dir / "other.dat", dir / (name + ".loc"), dir / (name + ".ctl"), "--model", "1"})
                .status,
            0);
  const ProgramResult stale = run_estimator(
      {dir / (name + ".ctl"), dir / "other.dat", dir / (name + ".loc"), dir / (name + ".rep"), "--json", dir / "o.json"});
  ASSERT_EQ(stale.status, 0) << stale.err;
  EXPECT_NE(stale.err.find("does not describe the data file"), std::string::npos) << stale.err;
  EXPECT_FALSE(read_json(dir / "o.json").contains("data_scales"));
}

// The starter and the comparer take the defaults of --k1 and --k2 from the
// metadata only while it describes the data file (the same fingerprint check
// as the estimator's): a fixed-start model (14) starts on the data file's own
// metadata, and is refused, naming the stale metadata, once the metadata of
// another data file is copied beside it; given --k1 and --k2 it starts again.
TEST(DataScales, TheStarterAndTheComparerTakeNoScalesFromMetadataOfAnotherDataFile) {
  TempDir dir;
  prepare(dir, (fs::path(GOLDEN_DIR) / "model1" / "raw.txt").string(), "own", "1 1");
  prepare(dir, (fs::path(GOLDEN_DIR) / "loblolly-model1" / "raw.txt").string(), "tens", "10 10");
  const auto start = [&](std::vector<std::string> extra) {
    fs::copy_file(dir / "own.loc", dir / "start.loc", fs::copy_options::overwrite_existing);
    std::vector<std::string> args = {dir / "own.dat", dir / "start.loc", dir / "start.ctl", "--model", "14"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_program(STARTER_PATH, args);
  };
  const auto compare = [&](const std::string& outdir) {
    return run_program(COMPARER_PATH,
                       {dir / "own.dat", dir / "own.loc", dir / outdir, "--models", "14", "--jobs", "1"});
  };
  const ProgramResult own = start({});
  ASSERT_EQ(own.status, 0) << own.err;
  EXPECT_EQ(own.err.find("does not describe"), std::string::npos) << own.err;
  const ProgramResult compared = compare("own-models");
  ASSERT_EQ(compared.status, 0) << compared.err;
  EXPECT_EQ(read_json(dir / "own-models/model-14/results.json")["model"]["constants"], Json::array({1.0, 1.0}));

  fs::copy_file(dir / "tens.dat.meta.json", dir / "own.dat.meta.json", fs::copy_options::overwrite_existing);
  const std::string note = "note: the metadata '" + dir / "own.dat.meta.json" + "' does not describe the data file '" +
                           dir / "own.dat" + "' (its fingerprint is ";
  const ProgramResult stale = start({});
  EXPECT_EQ(stale.status, 2);
  EXPECT_NE(stale.err.find("starter: " + note), std::string::npos) << stale.err;
  EXPECT_NE(stale.err.find("its scales are not the defaults of --k1 and --k2"), std::string::npos) << stale.err;
  EXPECT_NE(stale.err.find("fixes the start of the curve through the two model constants"), std::string::npos)
      << stale.err;
  const ProgramResult stale_comparer = compare("stale-models");
  EXPECT_EQ(stale_comparer.status, 2);
  EXPECT_NE(stale_comparer.err.find("comparer: " + note), std::string::npos) << stale_comparer.err;
  EXPECT_FALSE(fs::exists(dir / "stale-models/model-14"));
  const ProgramResult given = start({"--k1", "1", "--k2", "1"});
  EXPECT_EQ(given.status, 0) << given.err;
}

}  // namespace
