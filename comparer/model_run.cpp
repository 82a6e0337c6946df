#include "comparer/model_run.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "common/limits.hpp"
#include "common/results_reader.hpp"
#include "comparer/child_process.hpp"
#include "comparer/finished_model.hpp"
#include "comparer/runaway_locals.hpp"
#include "io/errors.hpp"
#include "model/catalogue.hpp"
#include "model/marginal/quadrature_rule.hpp"
#include "model/model_table.hpp"

namespace comparer {
namespace {

namespace fs = std::filesystem;

constexpr double kZeroShare = 1e-4;  // a deviation below this share of the largest one is at 0

std::string number_text(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", v);
  return text;
}

// Why a program stopped: the first line it wrote on its error stream, without
// its name, or else the last line of its console.
std::string stop_message(const fs::path& err, const fs::path& console, const std::string& program) {
  std::ifstream in(err);
  std::string line, last;
  std::getline(in, line);
  const std::string prefix = program + ": ";
  if (!line.empty()) return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : line;
  std::ifstream out(console);
  while (std::getline(out, line))
    if (line.find_first_not_of(' ') != std::string::npos) last = line.substr(line.find_first_not_of(' '));
  return last;
}

void add_flag(std::string& flag, const std::string& text) { flag += (flag.empty() ? "" : "; ") + text; }

// Deviations (as the model's row says which globals are) that ended at 0: a
// boundary optimum of the variance.
void flag_zero_deviations(int model, const common::ResultsReader& results, std::string& flag) {
  const model::ModelEntry& m = model::catalogue_entry(model);
  std::array<double, common::kMaxGlobals> magnitude{};
  for (int i = 0; i < m.ng(); ++i)
    magnitude[static_cast<std::size_t>(i)] =
        model::is_deviation(m.globals[static_cast<std::size_t>(i)])
            ? std::fabs(results.number_or_nan("/globals/estimates/" + std::to_string(i)))
            : NAN;
  double largest = 0.0;
  for (int i = 0; i < m.ng(); ++i)
    if (!std::isnan(magnitude[static_cast<std::size_t>(i)]))
      largest = std::max(largest, magnitude[static_cast<std::size_t>(i)]);
  for (int i = 0; i < m.ng(); ++i)
    if (magnitude[static_cast<std::size_t>(i)] <= kZeroShare * largest)
      add_flag(flag, std::string(model::role_name(m.globals[static_cast<std::size_t>(i)])) + " at 0");
}

void flag_runaways(const common::ResultsReader& results, const std::string& locals_path, std::string& flag) {
  const std::string averages = "/absolute_local_averages";
  const int nl = std::min(results.size(averages + "/names"), common::kMaxLocals);
  std::array<double, common::kMaxLocals> magnitude{};
  for (int l = 0; l < nl; ++l)
    magnitude[static_cast<std::size_t>(l)] = results.number_or_nan(averages + "/estimates/" + std::to_string(l));
  const Runaways r = find_runaways(locals_path, results.integer("/plots"), nl, magnitude);
  if (r.plots == 0) return;
  const std::string name = results.text(averages + "/names/" + std::to_string(r.first_local));
  add_flag(flag, std::to_string(r.plots) + (r.plots == 1 ? " plot's " : " plots' ") + "locals ran away (first: plot " +
                     std::to_string(r.first) + ", ID " + std::to_string(r.first_id) + ", " + name + " = " +
                     number_text(r.first_value) + ")");
}

// Deviations of the population held at their lower bound and a correlation
// held at +-0.9999 (boundary estimates of a random-locals fit).
void flag_population_boundary(const common::ResultsReader& results, std::string& flag) {
  const int nl = results.size("/population/boundary");
  for (int l = 0; l < nl; ++l)
    if (results.at("/population/boundary/" + std::to_string(l)).get<bool>())
      add_flag(flag, results.text("/population/names/" + std::to_string(nl + l)) + " at 0");
  if (results.has("/population/correlation_boundary") &&
      results.at("/population/correlation_boundary").get<bool>())
    add_flag(flag, "correlation at +-1");
}

void read_results(const std::string& path, const std::string& locals_path, bool random_locals, ModelRow& row) {
  const common::ResultsReader results(path);
  row.outcome = results.text("/outcome");
  row.log_likelihood = results.number_or_nan(random_locals ? "/marginal_log_likelihood" : "/log_likelihood");
  row.parameters = results.integer("/parameters");
  row.aic = results.number_or_nan("/aic");
  row.bic = results.number_or_nan("/bic");
  row.iterations = static_cast<int>(results.integer("/iterations"));
  flag_zero_deviations(row.model, results, row.flag);
  // Random locals are integrated out: no plot's locals can run away.
  if (random_locals)
    flag_population_boundary(results, row.flag);
  else
    flag_runaways(results, locals_path, row.flag);
}

// The starter's arguments in the model's folder: with random locals its
// values for them (the population fitted, and a tolerance on the outer step).
std::vector<std::string> starter_arguments(const RunSettings& s, const std::string& data, int model) {
  const auto text = [](double v) {
    char t[32];
    std::snprintf(t, sizeof t, "%.17g", v);
    return std::string(t);
  };
  std::vector<std::string> args = {data,   "locals",   "control", "--model",           std::to_string(model),
                                   "--k1", text(s.k1), "--k2",    text(s.k2), "--iteration-limit",
                                   std::to_string(s.iteration_limit)};
  if (s.random_locals) args.push_back("--random-locals");
  return args;
}

// The estimator's arguments in the model's folder.
std::vector<std::string> estimator_arguments(const RunSettings& s, const std::string& data) {
  std::vector<std::string> args = {"control", data, "locals", "report", "--json", "results.json", "--plots",
                                   "plots.csv", "--threads", std::to_string(s.threads)};
  if (s.random_locals) args.push_back("--random-locals");
  if (s.quadrature > 0) args.insert(args.end(), {"--quadrature", std::to_string(s.quadrature)});
  return args;
}

// The parameters of a model that gave no results file: NG + NL NP with fixed
// locals, NG + NL + NL(NL+1)/2 with random ones.
std::int64_t parameter_count(int model, const RunSettings& s) {
  const model::ModelCounts counts = model::model_counts(model);
  if (s.random_locals) return counts.ng + counts.nl + counts.nl * (counts.nl + 1) / 2;
  return counts.ng +
         static_cast<std::int64_t>(counts.nl) * static_cast<std::int64_t>(fs::file_size(s.locals) / common::kRecordLength);
}

// A filesystem step whose failure names the folder and the reason.
void checked(const char* what, const fs::path& path, const std::function<void(std::error_code&)>& step) {
  std::error_code ec;
  step(ec);
  if (ec) io::fail(std::string("cannot ") + what + " '" + path.string() + "': " + ec.message());
}

// `work` takes the place of `dir`: the earlier folder is moved aside first and
// removed last, so that a model folder is always either complete or absent.
void replace_folder(const fs::path& work, const fs::path& dir) {
  const fs::path old = dir.string() + ".old";
  checked("remove", old, [&](std::error_code& ec) { fs::remove_all(old, ec); });
  if (fs::exists(dir)) checked("move aside", dir, [&](std::error_code& ec) { fs::rename(dir, old, ec); });
  checked("rename", work, [&](std::error_code& ec) { fs::rename(work, dir, ec); });
  checked("remove", old, [&](std::error_code& ec) { fs::remove_all(old, ec); });
}

}  // namespace

std::string model_folder(const std::string& outdir, int model) {
  char name[16];
  std::snprintf(name, sizeof name, "model-%02d", model);
  return (fs::path(outdir) / name).string();
}

// The starter and the estimator run in `dir`, which holds nothing else.
static ModelRow fit_in(int model, const RunSettings& s, const fs::path& dir) {
  const std::string locals = (dir / "locals").string();
  checked("copy the local-parameter file into", dir,
          [&](std::error_code& ec) { fs::copy_file(s.locals, locals, fs::copy_options::overwrite_existing, ec); });
  ModelRow row;
  row.model = model;
  const auto start = std::chrono::steady_clock::now();
  // The children run in `dir`, which they know by relative names; the data
  // file by its absolute name.
  const std::string data = fs::absolute(s.data).string();
  const int nl = model::model_counts(model).nl;
  if (s.random_locals && nl > model::marginal::kMaxMarginalLocals) {
    row.outcome = "not started";
    row.flag = "random locals take at most " + std::to_string(model::marginal::kMaxMarginalLocals) +
               " locals; the model has " + std::to_string(nl);
  } else if (run_child(s.starter, starter_arguments(s, data, model), dir.string(), (dir / "starter.txt").string(),
                       (dir / "starter.err").string()) != 0) {
    row.outcome = "not started";
    row.flag = stop_message(dir / "starter.err", dir / "starter.txt", "starter");
  } else if (run_child(s.estimator, estimator_arguments(s, data), dir.string(), (dir / "trace.txt").string(),
                       (dir / "estimator.err").string()) == 0) {
    read_results((dir / "results.json").string(), locals, s.random_locals, row);
  } else {
    row.outcome = "failed";
    row.flag = stop_message(dir / "estimator.err", dir / "trace.txt", "estimator");
  }
  row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (row.parameters == 0) row.parameters = parameter_count(model, s);
  return row;
}

ModelRow run_model(int model, const RunSettings& s) {
  const fs::path dir = model_folder(s.outdir, model);
  const std::string key = inputs_key(s);
  if (const auto kept = read_finished((dir / kFinishedRecord).string(), key)) return *kept;
  // The earlier run's folder stays until this one is complete.
  const fs::path work = dir.string() + ".partial";
  checked("remove", work, [&](std::error_code& ec) { fs::remove_all(work, ec); });
  checked("create", work, [&](std::error_code& ec) { fs::create_directories(work, ec); });
  ModelRow row = fit_in(model, s, work);
  write_finished((work / kFinishedRecord).string(), row, key);
  replace_folder(work, dir);
  return row;
}

}  // namespace comparer
