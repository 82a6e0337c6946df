#include "estimator/marginal_plot_table.hpp"

#include <string>
#include <vector>

#include "model/model_table.hpp"

namespace estimator {
namespace {

std::vector<std::string> header(int model, int nl) {
  std::vector<std::string> h = {"position", "id", "measurements", "marginal_term"};
  for (int l = 0; l < nl; ++l) {
    const std::string name(model::model_names(model).locals[static_cast<std::size_t>(l)]);
    h.push_back("mode_" + name);
    h.push_back("sd_" + name);
  }
  if (nl == 2) h.emplace_back("correlation");
  return h;
}

}  // namespace

MarginalPlotTable::MarginalPlotTable(io::TextWriter& out, int model, int nl) : csv_(out, header(model, nl)), nl_(nl) {}

void MarginalPlotTable::row(int position, const PlotSlot& s) {
  const model::marginal::PlotMarginal& m = s.marginal;
  csv_.field(position).field(static_cast<int>(s.record_id)).field(s.data.n).field(m.term);
  for (int l = 0; l < nl_; ++l)
    csv_.field(m.mode[static_cast<std::size_t>(l)]).field(m.sd[static_cast<std::size_t>(l)]);
  if (nl_ == 2) csv_.field(m.correlation);
  csv_.end_row();
}

}  // namespace estimator
