// The CSV outputs of the projector, one row per plot and age (projections),
// per measurement (residuals) and per plot (site index). Ages and heights are
// written in the data file's scaled units times the given scales (1: scaled
// units; the preparer's scales: raw units); the power-scale moments and the
// standardised innovations are written as computed.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/csv_writer.hpp"
#include "projector/plot_pass.hpp"
#include "projector/plot_projection.hpp"

namespace projector {

struct Units {
  double age_scale = 1.0;
  double height_scale = 1.0;
};

struct TableFiles {
  std::string projections;  // empty: not written
  std::string residuals;
  std::string site_index;
};

// Requested ages (scaled, increasing) and where the base age of the site
// index sits among them; `listed` marks the ages the projections show.
struct AgeGrid {
  std::vector<double> ages;
  std::vector<bool> listed;
  int base = -1;
};

AgeGrid make_age_grid(const std::vector<double>& listed_ages, std::optional<double> base_age, const Units& units);

class ProjectionTables {
 public:
  // `full`: the intervals carry the estimates' uncertainty, and the columns
  // of heights drawn so (median and bounds) end in _full.
  ProjectionTables(const TableFiles& files, const Units& units, bool full = false);
  void add(const PlotData& plot, const AgeGrid& grid, const PlotProjection& projection);
  void commit();

 private:
  // A CSV file and its writer.
  struct Table {
    Table(const std::string& path, const char* role, const std::vector<std::string>& header)
        : file(path, role), csv(file, header) {}
    io::TextWriter file;
    io::CsvWriter csv;
  };

  Units units_;
  std::unique_ptr<Table> projections_, residuals_, site_index_;
};

// The population table (--population FILE, random-locals results): the
// heights of a plot not measured, whose locals follow the population
// Normal(mu, Psi), at the listed ages,
//   age,median,lower,upper,measurement_lower,measurement_upper
// (with the suffix _full for full intervals), from `projection` as the
// draws gave it (curve_draws.hpp, drawn_projection.hpp).
void write_population_table(const std::string& path, const AgeGrid& grid, const PlotProjection& projection,
                            const Units& units, bool full);

}  // namespace projector
