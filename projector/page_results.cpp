#include "projector/page_results.hpp"

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

#include "io/errors.hpp"

namespace projector {
namespace {

using nlohmann::json;

double number(const json& v) { return v.is_number() ? v.get<double>() : NAN; }

std::vector<double> numbers(const json& v) {
  std::vector<double> out;
  if (v.is_array())
    for (const json& x : v) out.push_back(number(x));
  return out;
}

EstimateTable estimate_table(const json& v, const std::string& path, const std::string& key) {
  EstimateTable t;
  if (!v.is_object() || !v.contains("names") || !v["names"].is_array())
    io::fail("results file '" + path + "': \"/" + key + "/names\" is missing");
  for (const json& name : v["names"]) t.names.push_back(name.is_string() ? name.get<std::string>() : "?");
  t.estimates = numbers(v.value("estimates", json()));
  t.standard_errors = numbers(v.value("standard_errors", json()));
  for (const json& row : v.value("correlations", json::array())) t.correlations.push_back(numbers(row));
  const std::size_t n = t.names.size();
  bool square = t.correlations.empty() || t.correlations.size() == n;
  for (const auto& row : t.correlations) square = square && row.size() == n;
  if (t.estimates.size() != n || t.standard_errors.size() != n || !square)
    io::fail("results file '" + path + "': \"/" + key + "\" should hold " + std::to_string(n) +
             " estimates, standard errors and a square table of correlations");
  return t;
}

}  // namespace

PageResults read_page_results(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const json root = json::parse(in, nullptr, false);
  if (!root.is_object()) io::fail("results file '" + path + "' is not JSON");
  PageResults r;
  r.title = root.value("title", "");
  r.model = root["model"].value("number", 0);
  r.outcome = root.value("outcome", "");
  r.iterations = root.value("iterations", std::int64_t{0});
  r.iteration_limit = root.value("iteration_limit", std::int64_t{0});
  r.plots = root.value("plots", std::int64_t{0});
  r.measurements = root.value("measurements", std::int64_t{0});
  r.parameters = root.value("parameters", std::int64_t{0});
  r.log_likelihood = number(root.value("log_likelihood", json()));
  r.aic = number(root.value("aic", json()));
  r.bic = number(root.value("bic", json()));
  r.globals = estimate_table(root.value("globals", json()), path, "globals");
  r.local_averages = estimate_table(root.value("local_averages", json()), path, "local_averages");
  return r;
}

}  // namespace projector
