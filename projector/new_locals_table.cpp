#include "projector/new_locals_table.hpp"

#include <cmath>

#include "model/catalogue.hpp"
#include "model/model_table.hpp"
#include "model/raw_units.hpp"

namespace projector {

struct NewLocalsTable::Table {
  Table(const std::string& path, const std::vector<std::string>& header)
      : file(path, "new locals table"), csv(file, header) {}
  io::TextWriter file;
  io::CsvWriter csv;
};

NewLocalsTable::NewLocalsTable(const std::string& path, int model, const Units& units, bool random_locals)
    : random_(random_locals) {
  if (path.empty()) return;
  nl_ = model::model_counts(model).nl;
  std::vector<std::string> header = {"position", "id", "measurements", random_ ? "marginal_term" : "objective"};
  const model::ModelEntry& entry = model::catalogue_entry(model);
  for (int l = 0; l < nl_; ++l) {
    const model::Role role = entry.locals[static_cast<std::size_t>(l)];
    const std::string name(model::role_name(role));
    header.push_back(random_ ? "mode_" + name : name);
    header.push_back((random_ ? "sd_" : "se_") + name);
    factors_[static_cast<std::size_t>(l)] =
        model::raw_factor(role, {units.age_scale, units.height_scale}).value_or(1.0);
  }
  if (random_ && nl_ == 2) header.emplace_back("correlation");
  header.push_back("left_out");
  table_ = std::make_shared<Table>(path, header);
}

void NewLocalsTable::add(const PlotData& plot, const NewPlotLocals& fit) {
  if (!table_) return;
  io::CsvWriter& out = table_->csv;
  out.field(plot.position).field(plot.id).field(plot.n).field(fit.objective);
  for (int l = 0; l < nl_; ++l) {
    const auto k = static_cast<std::size_t>(l);
    out.field(factors_[k] * fit.locals[k]).field(factors_[k] * fit.standard_errors[k]);
  }
  out.text("");
  out.end_row();
}

void NewLocalsTable::add(const PlotData& plot, const model::marginal::PlotMarginal& conditional) {
  if (!table_) return;
  io::CsvWriter& out = table_->csv;
  out.field(plot.position).field(plot.id).field(plot.n).field(conditional.term);
  for (int l = 0; l < nl_; ++l) {
    const auto k = static_cast<std::size_t>(l);
    out.field(factors_[k] * conditional.mode[k]).field(factors_[k] * conditional.sd[k]);
  }
  if (nl_ == 2) out.field(conditional.correlation);
  out.text("");
  out.end_row();
}

void NewLocalsTable::left_out(const PlotData& plot, const std::string& reason) {
  if (!table_) return;
  io::CsvWriter& out = table_->csv;
  out.field(plot.position).field(plot.id).field(plot.n).field(NAN);
  for (int l = 0; l < nl_; ++l) out.field(NAN).field(NAN);
  if (random_ && nl_ == 2) out.field(NAN);
  out.text(reason);
  out.end_row();
}

void NewLocalsTable::commit() {
  if (table_) table_->file.commit();
}

}  // namespace projector
