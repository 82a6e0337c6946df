#include "projector/run_projector.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>

#include "io/errors.hpp"
#include "io/output_paths.hpp"
#include "model/models.hpp"
#include "projector/command_line.hpp"
#include "projector/curve_figure.hpp"
#include "projector/curve_draws.hpp"
#include "projector/data_units.hpp"
#include "projector/drawn_projection.hpp"
#include "projector/new_data.hpp"
#include "projector/new_locals_table.hpp"
#include "projector/plot_figure.hpp"
#include "projector/plot_figure_pages.hpp"
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
                       options.level,
                       options.full_intervals,
                       options.draws};
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
                                   {o.site_curve_figure, "site-curve figure"},
                                   {o.population, "population table"}};
  io::check_outputs(inputs, outputs);
}

// The new plots of --new-data, each projected and its locals tabled; the
// run's plots, when given, are read only for the guide curves' summary of
// their locals and ages. Without them (a random-locals fit, whose guide
// curves are the population's) the new plots give the ages.
void project_new_plots(const Options& options, const RunResults& run, const NewDataScan& scan,
                       NewLocalsTable& new_locals, LocalsSummary& locals_summary, bool curves,
                       const std::function<void(const PlotData&, const NewPlotLocals&)>& project) {
  const bool run_plots = curves && !options.plot_files.locals.empty();
  std::int64_t left = 0;
  for_each_new_plot(
      run, options.new_data, options.units, scan,
      [&](const PlotData& plot, const NewPlotLocals& fit) {
        if (curves && !run_plots) locals_summary.add(plot, run.nl);
        project(plot, fit);
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
  if (run_plots)
    for_each_plot(run, options.plot_files, false, [&](const PlotData& plot) { locals_summary.add(plot, run.nl); });
}

// What a run of the projector reads before its pass: the results, the units,
// and the new data's and the site curves' checks, so that each refusal comes
// before any output is made.
struct Inputs {
  RunResults run;
  std::optional<NewDataScan> scan;
  std::optional<SiteCurves> site;
};

// What the results of a fixed-locals fit, and full intervals, serve.
void check_what_the_results_serve(const Options& o, const RunResults& run) {
  const auto refuse = [&o](const std::string& what) {
    io::fail("results file '" + o.results + "': " + what);
  };
  if (run.random_locals) return;
  if (!o.new_data.empty() && !o.figures.curves.empty() && o.plot_files.locals.empty())
    refuse("--curve-figure with --new-data needs the run's DATA and LOCALS: the guide curves of a fixed-locals fit "
           "are at the quantiles of its plots' locals");
  if (!o.population.empty())
    refuse("--population needs the results of a random-locals fit: the locals of a fixed-locals fit have no "
           "population distribution");
  if (o.full_intervals && run.uncertain != run.ng)
    refuse("--intervals full needs \"/globals/correlations\" and \"/globals/standard_errors\"");
}

Inputs read_inputs(Options& options) {
  Inputs in{read_run_results(options.results), std::nullopt, std::nullopt};
  check_what_the_results_serve(options, in.run);
  options.units = data_units(options, in.run);
  if (!options.comparison.empty()) read_comparison(options.comparison);
  if (!options.new_data.empty()) in.scan = scan_new_data(options.new_data);
  if (!options.site_curves.empty())
    in.site = solve_site_curves(in.run, options.site_curves, *options.base_age, options.units);
  if (in.run.outcome != "converged")
    std::fprintf(stderr,
                 "projector: note: the run's outcome was \"%s\": its estimates may not maximise the likelihood\n",
                 in.run.outcome.c_str());
  return in;
}

// Every output of the pass: each plot is projected once and handed to the
// outputs that want it; they are written, and the tables committed, after the pass.
class Outputs {
 public:
  Outputs(const Options& o, const Inputs& in, const FigureFiles& figures)
      : o_(o),
        in_(in),
        figures_(figures),
        grid_(make_age_grid(o.ages, o.base_age, o.units)),
        z_(interval_z(o.level)),
        text_{o.age_unit, o.height_unit, o.level, o.full_intervals},
        tables_(o.tables, o.units, o.full_intervals),
        new_locals_(o.new_locals, in.run.esde.model, o.units, in.run.random_locals),
        plot_figure_(grid_.ages.empty() ? std::nan("") : grid_.ages.back(), z_),
        residual_figure_(in.scan ? in.scan->measurements : in.run.measurements) {
    if (o.plot_pages)
      plot_pages_.emplace(o.figures.plots, in.scan ? in.scan->plots : in.run.plots,
                          grid_.ages.empty() ? std::nan("") : grid_.ages.back(), z_, o.units, text_);
    if (o.full_intervals || in.run.random_locals) {
      curve_draws_ = std::make_unique<CurveDraws>(in.run, o.full_intervals);
      drawn_ = std::make_unique<DrawnProjection>(o.draws, o.level, static_cast<int>(grid_.ages.size()));
    }
    // The plot figure's bands over the draws the tables use: those of full
    // intervals in every plot figure (the summary page's too), and a
    // random-locals plot's for --plot-figure.
    if (o.full_intervals ? !figures.plots.empty() : in.run.random_locals && !o.figures.plots.empty())
      figure_drawn_ = std::make_unique<DrawnProjection>(o.draws, o.level, PlotFigure::kCurveAges);
    if (!o.site_curve_figure.empty())
      site_figure_.emplace(o.site_curve_figure, *in.site, grid_.ages.back(), in.scan ? in.scan->plots : in.run.plots,
                           o.units, text_);
  }

  // A new plot: its locals tabled (for random locals, their conditional
  // distribution, found as the plot is projected), then projected.
  void project_new(const PlotData& given, const NewPlotLocals& fit) {
    if (!in_.run.random_locals) new_locals_.add(given, fit);
    project(given, in_.run.random_locals && !o_.new_locals.empty());
  }

  void project(const PlotData& given, bool table_conditional = false) {
    if (site_figure_) site_figure_->add(given);
    const bool chosen = selected(o_, given.id);
    if (!chosen && figures_.residuals.empty() && !table_conditional) return;
    const PlotData& plot = in_.run.random_locals ? at_conditional_mean(given) : given;
    if (table_conditional) {
      if (why_.empty())
        new_locals_.add(given, curve_draws_->marginal());
      else
        new_locals_.left_out(given, why_);
      if (!chosen && figures_.residuals.empty()) return;
    }
    project_plot(plot.curve, plot.n, plot.ages.data(), plot.heights.data(), static_cast<int>(grid_.ages.size()),
                 grid_.ages.data(), z_, projection_);
    if (!figures_.residuals.empty()) residual_figure_.add(plot, projection_);
    if (!chosen) return;
    if (drawn_) draw(plot);
    tables_.add(plot, grid_, projection_);
    if (!plot_pages_ && !(!figures_.plots.empty() && plot_figure_.wants_more())) return;
    PlotFigure::Band band;
    if (figure_drawn_)
      band = [this, &plot](int m, const double* ages, PlotProjection& out) { drawn_band(plot, m, ages, out); };
    if (plot_pages_)
      plot_pages_->add(plot, band);
    else
      plot_figure_.add(plot, band);
  }

  // The plot figure's band of a plot over the draws of its parameters (for
  // random locals, of its locals from their conditional distribution), as the
  // projections give it: the same stream, seeded by the plot's place, so that
  // at an age of both the band is the table's interval (none when it has none).
  void drawn_band(const PlotData& plot, int m, const double* ages, PlotProjection& out) {
    if (why_.empty()) {
      figure_drawn_->project(*curve_draws_, plot, m, ages, out);
      return;
    }
    const double nan = std::nan("");
    for (int j = 0; j < m; ++j) out.at_ages[static_cast<std::size_t>(j)].height = {nan, nan, nan};
  }

  // A plot not measured: the population's height distribution at the ages.
  void write_population() const {
    PlotData none;
    none.n = 0;
    CurveDraws draws(in_.run, o_.full_intervals);
    draws.start(none);
    DrawnProjection drawn(o_.draws, o_.level, static_cast<int>(grid_.ages.size()));
    auto projection = std::make_unique<PlotProjection>();
    drawn.project(draws, none, static_cast<int>(grid_.ages.size()), grid_.ages.data(), *projection);
    write_population_table(o_.population, grid_, *projection, o_.units, o_.full_intervals);
  }

  // A plot of a random-locals fit with its locals at their conditional mean
  // given its measurements (at the estimates), where its residuals and the
  // state's moments are taken, and its draws prepared.
  const PlotData& at_conditional_mean(const PlotData& plot) {
    conditional_ = plot;
    why_ = curve_draws_->start(conditional_);
    if (why_.empty()) {
      const CurveDraws::Conditional& c = curve_draws_->conditional();
      std::copy_n(c.mean.begin(), in_.run.nl, conditional_.locals.begin());
      model::trpars(in_.run.esde, in_.run.globals, conditional_.locals, conditional_.curve);
    }
    return conditional_;
  }

  // The intervals over draws of the plot's parameters; a plot whose
  // distribution cannot be formed gets none (NaN), and is named.
  void draw(const PlotData& plot) {
    if (!in_.run.random_locals) why_ = curve_draws_->start(plot);
    if (why_.empty()) {
      drawn_->project(*curve_draws_, plot, static_cast<int>(grid_.ages.size()), grid_.ages.data(), projection_);
      return;
    }
    std::fprintf(stderr, "projector: plot %lld (ID %d) has no intervals: %s\n", static_cast<long long>(plot.position),
                 static_cast<int>(plot.id), why_.c_str());
    const double nan = std::nan("");
    for (std::size_t j = 0; j < grid_.ages.size(); ++j)
      projection_.at_ages[j].height = projection_.at_ages[j].measurement = {nan, nan, nan};
  }

  void pass() {
    const RunResults& run = in_.run;
    const auto project = [this](const PlotData& plot, const NewPlotLocals& fit) { this->project_new(plot, fit); };
    if (in_.scan) {
      project_new_plots(o_, run, *in_.scan, new_locals_, locals_summary_, !figures_.curves.empty(), project);
      return;
    }
    for_each_plot(run, o_.plot_files, run.plots >= kProgressPlots, [&](const PlotData& plot) {
      locals_summary_.add(plot, run.nl);
      this->project(plot);
    });
  }

  void write() {
    FigureFiles shown = figures_;  // the summary page shows the first page of a paged plot figure
    if (plot_pages_) {
      plot_pages_->commit();
      shown.plots = plot_pages_->page_path(1);
    } else if (!figures_.plots.empty()) {
      plot_figure_.write(figures_.plots, o_.units, text_);
    }
    if (!figures_.residuals.empty()) residual_figure_.write(figures_.residuals, o_.units, text_);
    if (!figures_.curves.empty())
      write_curve_figure(figures_.curves, in_.run, o_.plot_files.locals, locals_summary_, o_.ages, o_.quantiles,
                         o_.units, text_);
    if (site_figure_) site_figure_->write();
    if (!o_.site_curve_table.empty()) write_site_curve_table(o_.site_curve_table, in_.run, *in_.site, grid_, o_.units);
    if (!o_.population.empty()) write_population();
    tables_.commit();
    new_locals_.commit();
    if (curve_draws_ && curve_draws_->fallbacks() > 0)
      std::fprintf(stderr, "projector: note: %lld draws of the outer parameters gave a plot no usable mode and were "
                   "taken at the estimates\n", curve_draws_->fallbacks());
    if (!o_.summary_page.empty()) write_page(o_, shown, residual_figure_.summary());
  }

 private:
  const Options& o_;
  const Inputs& in_;
  const FigureFiles& figures_;
  const AgeGrid grid_;
  const double z_;
  const FigureText text_;
  ProjectionTables tables_;
  NewLocalsTable new_locals_;
  PlotFigure plot_figure_;
  std::optional<PlotFigurePages> plot_pages_;
  ResidualFigure residual_figure_;
  LocalsSummary locals_summary_;
  PlotProjection projection_;
  std::optional<SiteCurveFigure> site_figure_;
  std::unique_ptr<CurveDraws> curve_draws_;
  std::unique_ptr<DrawnProjection> drawn_;
  std::unique_ptr<DrawnProjection> figure_drawn_;  // the plot figure's bands (random locals, full intervals)
  PlotData conditional_;  // the plot at its conditional mean (random locals)
  std::string why_;       // why the plot has no intervals; empty when it has
};

}  // namespace

int run_projector(int argc, char** argv) {
  Options options = parse_command_line(argc, argv);
  check_output_paths(options);
  const Inputs inputs = read_inputs(options);
  const PageFigureFiles page_figures(options);
  Outputs outputs(options, inputs, page_figures.files);
  outputs.pass();
  outputs.write();
  return 0;
}

}  // namespace projector
