#include "comparer/comparison_table.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "io/csv_writer.hpp"
#include "model/model_table.hpp"

namespace comparer {
namespace {

std::string names(int model, bool globals) {
  const model::ModelNames& n = model::model_names(model);
  const model::ModelCounts counts = model::model_counts(model);
  std::string text;
  for (int i = 0; i < (globals ? counts.ng : counts.nl); ++i)
    text += (i > 0 ? " " : "") +
            std::string(globals ? n.globals[static_cast<std::size_t>(i)] : n.locals[static_cast<std::size_t>(i)]);
  return text;
}

std::string fixed(double v, int decimals) {
  if (!std::isfinite(v)) return "-";
  char text[40];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

}  // namespace

void sort_by_aic(std::vector<ModelRow>& rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const ModelRow& x, const ModelRow& y) {
    const bool fx = std::isfinite(x.aic), fy = std::isfinite(y.aic);
    if (fx != fy) return fx;
    if (fx && x.aic != y.aic) return x.aic < y.aic;
    return x.model < y.model;
  });
}

void print_table(const std::vector<ModelRow>& rows, std::FILE* out) {
  std::fprintf(out, "%5s  %-38s %-6s %16s %10s %14s %14s  %-24s %5s %8s  %s\n", "model", "globals", "locals",
               "log-likelihood", "parameters", "AIC", "BIC", "outcome", "iter.", "seconds", "flag");
  for (const ModelRow& r : rows)
    std::fprintf(out, "%5d  %-38s %-6s %16s %10lld %14s %14s  %-24s %5d %8s  %s\n", r.model,
                 names(r.model, true).c_str(), names(r.model, false).c_str(), fixed(r.log_likelihood, 4).c_str(),
                 static_cast<long long>(r.parameters), fixed(r.aic, 2).c_str(), fixed(r.bic, 2).c_str(),
                 r.outcome.c_str(), r.iterations, fixed(r.seconds, 2).c_str(), r.flag.c_str());
}

void write_table_csv(const std::vector<ModelRow>& rows, io::TextWriter& out) {
  io::CsvWriter csv(out, {"model", "globals", "locals", "log_likelihood", "parameters", "aic", "bic", "outcome",
                          "iterations", "seconds", "flag"});
  for (const ModelRow& r : rows) {
    csv.field(r.model).text(names(r.model, true)).text(names(r.model, false)).field(r.log_likelihood);
    csv.field(r.parameters)
        .field(r.aic)
        .field(r.bic)
        .text(r.outcome)
        .field(r.iterations)
        .field(std::round(r.seconds * 1000.0) / 1000.0)
        .text(r.flag);
    csv.end_row();
  }
}

}  // namespace comparer
