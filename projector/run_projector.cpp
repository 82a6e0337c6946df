#include "projector/run_projector.hpp"

#include <algorithm>
#include <cstdio>

#include "projector/command_line.hpp"
#include "projector/plot_pass.hpp"
#include "projector/plot_projection.hpp"
#include "projector/projection_tables.hpp"
#include "projector/run_results.hpp"

namespace projector {
namespace {

constexpr std::int64_t kProgressPlots = 200000;  // report progress on runs this large

bool selected(const Options& options, std::int32_t id) {
  return options.ids.empty() || std::find(options.ids.begin(), options.ids.end(), id) != options.ids.end();
}

}  // namespace

int run_projector(int argc, char** argv) {
  const Options options = parse_command_line(argc, argv);
  const RunResults run = read_run_results(options.results);
  const AgeGrid grid = make_age_grid(options.ages, options.base_age, options.units);
  const double z = interval_z(options.level);
  ProjectionTables tables(options.tables, options.units);
  PlotProjection projection;
  for_each_plot(run, options.plot_files, run.plots >= kProgressPlots, [&](const PlotData& plot) {
    if (!selected(options, plot.id)) return;
    project_plot(plot.curve, plot.n, plot.ages.data(), plot.heights.data(), static_cast<int>(grid.ages.size()),
                 grid.ages.data(), z, projection);
    tables.add(plot, grid, projection);
  });
  tables.commit();
  return 0;
}

}  // namespace projector
