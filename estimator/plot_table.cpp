#include "estimator/plot_table.hpp"

#include <string>
#include <vector>

#include "model/model_table.hpp"

namespace estimator {
namespace {

std::vector<std::string> header(int model, int nl) {
  std::vector<std::string> h = {"position", "id", "measurements", "objective"};
  for (int l = 0; l < nl; ++l) {
    const std::string name(model::model_names(model).locals[static_cast<std::size_t>(l)]);
    h.push_back(name);
    h.push_back("se_" + name);
  }
  return h;
}

}  // namespace

PlotTable::PlotTable(io::TextWriter& out, int model, int nl) : csv_(out, header(model, nl)) {}

void PlotTable::row(int position, int id, int n, double f, std::span<const double> locals,
                    std::span<const double> standard_errors) {
  csv_.field(position).field(id).field(n).field(f);
  for (std::size_t l = 0; l < locals.size(); ++l) csv_.field(locals[l]).field(standard_errors[l]);
  csv_.end_row();
}

}  // namespace estimator
