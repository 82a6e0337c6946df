#include "projector/page_results.hpp"

#include "common/results_reader.hpp"

namespace projector {
namespace {

// The numbers of an array of `count` (null where the run gave no usable value).
std::vector<double> numbers(const common::ResultsReader& r, const std::string& pointer, int count) {
  if (r.size(pointer) != count) r.bad(pointer, "should hold " + std::to_string(count) + " numbers");
  std::vector<double> out;
  out.reserve(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) out.push_back(r.number_or_nan(pointer + "/" + std::to_string(k)));
  return out;
}

// Names, estimates, standard errors and (when the file has them) correlations.
EstimateTable estimate_table(const common::ResultsReader& r, const std::string& key) {
  EstimateTable t;
  const int n = r.size(key + "/names");
  for (int k = 0; k < n; ++k) t.names.push_back(r.text(key + "/names/" + std::to_string(k)));
  t.estimates = numbers(r, key + "/estimates", n);
  t.standard_errors = numbers(r, key + "/standard_errors", n);
  if (r.at(key).contains("correlations")) {
    if (r.size(key + "/correlations") != n) r.bad(key + "/correlations", "should be a square table");
    for (int k = 0; k < n; ++k) t.correlations.push_back(numbers(r, key + "/correlations/" + std::to_string(k), n));
  }
  return t;
}

}  // namespace

PageResults read_page_results(const std::string& path) {
  const common::ResultsReader r(path);
  PageResults p;
  p.title = r.text("/title");
  p.model = static_cast<int>(r.integer("/model/number"));
  p.outcome = r.text("/outcome");
  p.iterations = r.integer("/iterations");
  p.iteration_limit = r.has("/iteration_limit") ? r.integer("/iteration_limit") : -1;
  p.plots = r.integer("/plots");
  p.measurements = r.integer("/measurements");
  p.parameters = r.integer("/parameters");
  p.random_locals = r.optional_text("/locals") == "random";
  p.log_likelihood = r.number_or_nan(p.random_locals ? "/marginal_log_likelihood" : "/log_likelihood");
  p.aic = r.number_or_nan("/aic");
  p.bic = r.number_or_nan("/bic");
  p.globals = estimate_table(r, "/globals");
  if (!p.random_locals) {
    p.local_averages = estimate_table(r, "/local_averages");
    return p;
  }
  p.local_averages = estimate_table(r, "/population");
  const int n = static_cast<int>(p.globals.names.size() + p.local_averages.names.size());
  if (r.size("/outer/correlations") != n) r.bad("/outer/correlations", "should be a square table");
  p.outer.names = p.globals.names;
  p.outer.names.insert(p.outer.names.end(), p.local_averages.names.begin(), p.local_averages.names.end());
  for (int k = 0; k < n; ++k) p.outer.correlations.push_back(numbers(r, "/outer/correlations/" + std::to_string(k), n));
  return p;
  return p;
}

}  // namespace projector
