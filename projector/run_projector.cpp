#include "projector/run_projector.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "projector/command_line.hpp"
#include "projector/curve_figure.hpp"
#include "projector/plot_figure.hpp"
#include "projector/plot_pass.hpp"
#include "projector/plot_projection.hpp"
#include "projector/projection_tables.hpp"
#include "projector/residual_figure.hpp"
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
  if (run.outcome != "converged")
    std::fprintf(stderr,
                 "projector: note: the run's outcome was \"%s\": its estimates may not maximise the likelihood\n",
                 run.outcome.c_str());
  const AgeGrid grid = make_age_grid(options.ages, options.base_age, options.units);
  const double z = interval_z(options.level);
  const FigureText text{options.age_unit, options.height_unit, options.level};
  ProjectionTables tables(options.tables, options.units);
  PlotFigure plot_figure(grid.ages.empty() ? std::nan("") : grid.ages.back(), z);
  ResidualFigure residual_figure(run.measurements);
  LocalsSummary locals_summary;
  PlotProjection projection;
  for_each_plot(run, options.plot_files, run.plots >= kProgressPlots, [&](const PlotData& plot) {
    locals_summary.add(plot, run.nl);
    const bool chosen = selected(options, plot.id);
    if (!chosen && options.figures.residuals.empty()) return;
    project_plot(plot.curve, plot.n, plot.ages.data(), plot.heights.data(), static_cast<int>(grid.ages.size()),
                 grid.ages.data(), z, projection);
    if (!options.figures.residuals.empty()) residual_figure.add(plot, projection);
    if (!chosen) return;
    tables.add(plot, grid, projection);
    if (!options.figures.plots.empty() && plot_figure.wants_more()) plot_figure.add(plot);
  });
  if (!options.figures.plots.empty()) plot_figure.write(options.figures.plots, options.units, text);
  if (!options.figures.residuals.empty()) residual_figure.write(options.figures.residuals, options.units, text);
  if (!options.figures.curves.empty())
    write_curve_figure(options.figures.curves, run, options.plot_files.locals, locals_summary, options.quantiles,
                       options.units, text);
  tables.commit();
  return 0;
}

}  // namespace projector
