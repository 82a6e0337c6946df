#include "projector/projection_tables.hpp"

#include <algorithm>
#include <cmath>

namespace projector {
namespace {

template <class Table>
std::unique_ptr<Table> table(const std::string& path, const char* role, const std::vector<std::string>& header) {
  if (path.empty()) return nullptr;
  return std::make_unique<Table>(path, role, header);
}

void add_interval(io::CsvWriter& out, const HeightInterval& h, double scale, bool median) {
  if (median) out.field(h.median * scale);
  out.field(h.lower * scale).field(h.upper * scale);
}

}  // namespace

AgeGrid make_age_grid(const std::vector<double>& listed_ages, std::optional<double> base_age, const Units& units) {
  AgeGrid grid;
  for (double age : listed_ages) grid.ages.push_back(age / units.age_scale);
  if (base_age) grid.ages.push_back(*base_age / units.age_scale);
  std::sort(grid.ages.begin(), grid.ages.end());
  grid.ages.erase(std::unique(grid.ages.begin(), grid.ages.end()), grid.ages.end());
  for (double age : grid.ages) {
    grid.listed.push_back(
        std::any_of(listed_ages.begin(), listed_ages.end(), [&](double a) { return a / units.age_scale == age; }));
    if (base_age && *base_age / units.age_scale == age) grid.base = static_cast<int>(grid.listed.size()) - 1;
  }
  return grid;
}

namespace {

std::vector<std::string> header(std::vector<std::string> names, const std::vector<std::string>& drawn,
                                const std::vector<std::string>& after, bool full) {
  for (const std::string& name : drawn) names.push_back(full ? name + "_full" : name);
  names.insert(names.end(), after.begin(), after.end());
  return names;
}

}  // namespace

ProjectionTables::ProjectionTables(const TableFiles& files, const Units& units, bool full)
    : units_(units),
      projections_(table<Table>(files.projections, "projections file",
                                header({"position", "id", "age"},
                                       {"median", "lower", "upper", "measurement_lower", "measurement_upper"},
                                       {"state_mean", "state_sd"}, full))),
      residuals_(table<Table>(files.residuals, "residuals file",
                              {"position", "id", "age", "height", "fitted", "standardised_innovation"})),
      site_index_(table<Table>(files.site_index, "site-index file",
                               header({"position", "id", "base_age"}, {"site_index", "lower", "upper"}, {}, full))) {}

void ProjectionTables::add(const PlotData& plot, const AgeGrid& grid, const PlotProjection& projection) {
  const double ts = units_.age_scale, hs = units_.height_scale;
  for (std::size_t j = 0; projections_ && j < grid.ages.size(); ++j) {
    if (!grid.listed[j]) continue;
    const AgeProjection& p = projection.at_ages[j];
    io::CsvWriter& out = projections_->csv;
    out.field(plot.position).field(plot.id).field(grid.ages[j] * ts);
    add_interval(out, p.height, hs, true);
    add_interval(out, p.measurement, hs, false);
    out.field(p.state.mean).field(std::sqrt(p.state.variance));
    out.end_row();
  }
  for (int i = 0; residuals_ && i < plot.n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const MeasurementFit& fit = projection.at_measurements[k];
    io::CsvWriter& out = residuals_->csv;
    out.field(plot.position).field(plot.id).field(plot.ages[k] * ts).field(plot.heights[k] * hs);
    out.field(fit.fitted * hs).field(fit.standardised).end_row();
  }
  if (site_index_ && grid.base >= 0) {
    const auto b = static_cast<std::size_t>(grid.base);
    io::CsvWriter& out = site_index_->csv;
    out.field(plot.position).field(plot.id).field(grid.ages[b] * ts);
    add_interval(out, projection.at_ages[b].height, hs, true);
    out.end_row();
  }
}

void ProjectionTables::commit() {
  for (Table* t : {projections_.get(), residuals_.get(), site_index_.get()})
    if (t) t->file.commit();
}

void write_population_table(const std::string& path, const AgeGrid& grid, const PlotProjection& projection,
                            const Units& units, bool full) {
  io::TextWriter file(path, "population table");
  io::CsvWriter csv(file, header({"age"}, {"median", "lower", "upper", "measurement_lower", "measurement_upper"}, {},
                                 full));
  for (std::size_t j = 0; j < grid.ages.size(); ++j) {
    if (!grid.listed[j]) continue;
    const AgeProjection& p = projection.at_ages[j];
    csv.field(grid.ages[j] * units.age_scale);
    add_interval(csv, p.height, units.height_scale, true);
    add_interval(csv, p.measurement, units.height_scale, false);
    csv.end_row();
  }
  file.commit();
}

}  // namespace projector
