#include "projector/run_projector.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "io/output_paths.hpp"
#include "projector/command_line.hpp"
#include "projector/curve_figure.hpp"
#include "projector/data_units.hpp"
#include "projector/new_data.hpp"
#include "projector/new_locals_table.hpp"
#include "projector/plot_figure.hpp"
#include "projector/plot_pass.hpp"
#include "projector/plot_projection.hpp"
#include "projector/projection_tables.hpp"
#include "projector/residual_figure.hpp"
#include "projector/run_results.hpp"
#include "projector/site_curves.hpp"
#include "projector/summary_page.hpp"

namespace projector {
namespace {

constexpr std::int64_t kProgressPlots = 200000;  // report progress on runs this large

bool selected(const Options& options, std::int32_t id) {
  return options.ids.empty() || std::find(options.ids.begin(), options.ids.end(), id) != options.ids.end();
}

// The figures the summary page needs and the call did not ask for go to
// scratch files beside the page, removed when the run ends.
struct PageFigureFiles {
  FigureFiles files;
  std::vector<std::string> scratch;
  explicit PageFigureFiles(const Options& options) : files(options.figures) {
    if (options.summary_page.empty()) return;
    for (auto [path, name] : {std::pair{&files.plots, ".plots"}, std::pair{&files.curves, ".curves"},
                              std::pair{&files.residuals, ".residuals"}})
      if (path->empty()) scratch.push_back(*path = options.summary_page + name + ".svg.part");
  }
  ~PageFigureFiles() {
    std::error_code ignored;
    for (const std::string& path : scratch) std::filesystem::remove(path, ignored);
  }
};

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_page(const Options& options, const FigureFiles& figures, const ResidualSummary& residuals) {
  const PageResults results = read_page_results(options.results);
  ComparisonTable comparison;
  if (!options.comparison.empty()) comparison = read_comparison(options.comparison);
  const PageInput page{options.results,
                       &results,
                       options.comparison.empty() ? nullptr : &comparison,
                       residuals,
                       {file_text(figures.plots), file_text(figures.curves), file_text(figures.residuals)},
                       options.units,
                       options.age_unit,
                       options.height_unit,
                       options.level};
  write_summary_page(options.summary_page, page);
}

// Nothing is written until no output is an input and every output can be written.
void check_output_paths(const Options& o) {
  const io::NamedPath inputs[] = {{o.results, "results file"},
                                  {o.plot_files.data, "data file"},
                                  {o.plot_files.locals, "local-parameter file"},
                                  {o.comparison, "comparison table"},
                                  {o.new_data, "new data file"}};
  const io::NamedPath outputs[] = {{o.tables.projections, "projection table"},
                                   {o.tables.residuals, "residual table"},
                                   {o.tables.site_index, "site-index table"},
                                   {o.figures.plots, "plot figure"},
                                   {o.figures.curves, "curve figure"},
                                   {o.figures.residuals, "residual figure"},
                                   {o.summary_page, "summary page"},
                                   {o.new_locals, "new locals table"},
                                   {o.site_curve_table, "site-curve table"},
                                   {o.site_curve_figure, "site-curve figure"}};
  io::check_outputs(inputs, outputs);
}

// The new plots of --new-data, each projected and its locals tabled; the
// run's plots are read only for the guide curves' summary of their locals.
void project_new_plots(const Options& options, const RunResults& run, const NewDataScan& scan,
                       NewLocalsTable& new_locals, LocalsSummary& locals_summary, bool curves,
                       const std::function<void(const PlotData&)>& project) {
  std::int64_t left = 0;
  for_each_new_plot(
      run, options.new_data, options.units, scan,
      [&](const PlotData& plot, const NewPlotLocals& fit) {
        new_locals.add(plot, fit);
        project(plot);
      },
      [&](const PlotData& plot, const std::string& reason) {
        ++left;
        new_locals.left_out(plot, reason);
        std::fprintf(stderr, "projector: new plot %lld (ID %d) left out: %s\n", static_cast<long long>(plot.position),
                     static_cast<int>(plot.id), reason.c_str());
      });
  if (left > 0)
    std::fprintf(stderr, "projector: %lld of %lld new plots left out\n", static_cast<long long>(left),
                 static_cast<long long>(scan.plots));
  if (curves)
    for_each_plot(run, options.plot_files, false, [&](const PlotData& plot) { locals_summary.add(plot, run.nl); });
}

}  // namespace

int run_projector(int argc, char** argv) {
  Options options = parse_command_line(argc, argv);
  check_output_paths(options);
  const RunResults run = read_run_results(options.results);
  options.units = data_units(options, run);
  if (!options.comparison.empty()) read_comparison(options.comparison);  // refused before the pass
  std::optional<NewDataScan> scan;
  if (!options.new_data.empty()) scan = scan_new_data(options.new_data);  // refused before the pass
  std::optional<SiteCurves> site;  // refused before the pass when a site index cannot be reached
  if (!options.site_curves.empty())
    site = solve_site_curves(run, options.site_curves, *options.base_age, options.units);
  const PageFigureFiles page_figures(options);
  const FigureFiles& figures = page_figures.files;
  if (run.outcome != "converged")
    std::fprintf(stderr,
                 "projector: note: the run's outcome was \"%s\": its estimates may not maximise the likelihood\n",
                 run.outcome.c_str());
  const AgeGrid grid = make_age_grid(options.ages, options.base_age, options.units);
  const double z = interval_z(options.level);
  const FigureText text{options.age_unit, options.height_unit, options.level};
  ProjectionTables tables(options.tables, options.units);
  NewLocalsTable new_locals(options.new_locals, run.esde.model, options.units);
  PlotFigure plot_figure(grid.ages.empty() ? std::nan("") : grid.ages.back(), z);
  ResidualFigure residual_figure(scan ? scan->measurements : run.measurements);
  LocalsSummary locals_summary;
  PlotProjection projection;
  std::optional<SiteCurveFigure> site_figure;
  if (!options.site_curve_figure.empty())
    site_figure.emplace(options.site_curve_figure, *site, grid.ages.back(), scan ? scan->plots : run.plots,
                        options.units, text);
  const auto project = [&](const PlotData& plot) {
    if (site_figure) site_figure->add(plot);
    const bool chosen = selected(options, plot.id);
    if (!chosen && figures.residuals.empty()) return;
    project_plot(plot.curve, plot.n, plot.ages.data(), plot.heights.data(), static_cast<int>(grid.ages.size()),
                 grid.ages.data(), z, projection);
    if (!figures.residuals.empty()) residual_figure.add(plot, projection);
    if (!chosen) return;
    tables.add(plot, grid, projection);
    if (!figures.plots.empty() && plot_figure.wants_more()) plot_figure.add(plot);
  };
  if (scan) {
    project_new_plots(options, run, *scan, new_locals, locals_summary, !figures.curves.empty(), project);
  } else {
    for_each_plot(run, options.plot_files, run.plots >= kProgressPlots, [&](const PlotData& plot) {
      locals_summary.add(plot, run.nl);
      project(plot);
    });
  }
  if (!figures.plots.empty()) plot_figure.write(figures.plots, options.units, text);
  if (!figures.residuals.empty()) residual_figure.write(figures.residuals, options.units, text);
  if (!figures.curves.empty())
    write_curve_figure(figures.curves, run, options.plot_files.locals, locals_summary, options.quantiles, options.units,
                       text);
  if (site_figure) site_figure->write();
  if (!options.site_curve_table.empty())
    write_site_curve_table(options.site_curve_table, run, *site, grid, options.units);
  tables.commit();
  new_locals.commit();
  if (!options.summary_page.empty()) write_page(options, figures, residual_figure.summary());
  return 0;
}

}  // namespace projector
