#include "projector/command_line.hpp"

#include "io/command_line.hpp"
#include "io/errors.hpp"
#include "io/option_values.hpp"
#include "projector/drawn_projection.hpp"
#include "projector/state_smoother.hpp"

namespace projector {
namespace {

io::OptionGroup settings_options() {
  return {"Settings",
          {{"--ages", "LIST", "ages of --projections: numbers and FROM:TO:STEP ranges, e.g. 5,10:30:10"},
           {"--level", "P", "level of the intervals, 0 < P < 1 (default 0.9)"},
           {"--intervals", "KIND",
            "plug-in (default): the estimates taken as the true parameters;\n"
            "full: the intervals carry the estimates' uncertainty too (the\n"
            "plot's locals and the globals drawn jointly about the estimates);\n"
            "the tables' columns of a full interval end in _full, and the plot\n"
            "figure's bands are full intervals too (it and the summary page say so)"},
           {"--draws", "K", "draws of the parameters per plot for full intervals and\nrandom locals (default 1000)"},
           {"--ids", "LIST", "only the plots with these identifiers (tables and plot figure)"},
           {"--plot-pages", "",
            "the plot figure through every plot (or every plot of --ids), 16 to a\n"
            "page: --plot-figure plots.svg writes plots-1.svg, plots-2.svg, ...\n"
            "(numbers zero-padded to the digits of the run's last page)",
            false, "--plot-figure"},
           {"--base-age", "AGE", "base age of the site index"},
           {"--quantiles", "LIST", "quantiles of the locals for the guide curves (default 0.1,0.5,0.9)"},
           {"--age-scale", "S", "the age scale given to preparer: ages read and written in raw units"},
           {"--height-scale", "S",
            "the height scale given to preparer: heights written in raw units\n"
            "(both are taken from the results file when its run found the\n"
            "preparer's metadata beside the data file; given as well, they\n"
            "must agree with it; without metadata both must be given)"},
           {"--scaled-units", "", "ages and heights in the scaled units of the data file"},
           {"--age-unit", "TEXT", "unit of age named on the figures' axes (default \"scaled units\")"},
           {"--height-unit", "TEXT", "unit of height named on the figures' axes (default \"scaled units\")"},
           {"--comparison", "FILE", "the comparer's comparison.csv, shown on the summary page", false,
            "--summary-page"}}};
}

io::OptionGroup new_plot_options() {
  return {"New plots",
          {{"--new-data", "RAW",
            "plots that were not in the fit, in the preparer's raw format\n"
            "(identifier, age, height per line) and the raw units: each plot's\n"
            "locals are fitted with the run's globals held, and the outputs are\n"
            "those of these plots; a plot whose locals its measurements cannot\n"
            "determine is named on the error stream and left out"},
           {"--new-locals", "FILE",
            "CSV: per new plot, its locals and their standard errors (globals\n"
            "held; random locals: their conditional modes and deviations),\n"
            "or the reason it was left out", false, "--new-data"}}};
}

io::OptionGroup site_curve_options() {
  return {"Site-index curves",
          {{"--site-curves", "LIST",
            "site indices (heights at --base-age), numbers or FROM:TO:STEP: for each\n"
            "the curve without noise through (base age, site index), solved for the\n"
            "asymptote (or the one local; with two locals the rate held at its\n"
            "weighted mean, or population mean for random locals, as the outputs say)"},
           {"--site-curve-table", "FILE", "CSV: per site index and age (--ages and the base age), height and locals"},
           {"--site-curve-figure", "FILE", "SVG: the curves labelled by site index, the plots faintly behind"}}};
}

const io::ProgramInterface& program_interface() {
  static const io::ProgramInterface interface {
    .program = "projector",
    .input = "",
    .description = R"(Reads the results file of a finished run (estimator --json) and the run's two
plot files, and writes for every plot (or the plots of --ids) the distribution
of its height at chosen ages given all its measurements, its residuals, its
site index, and figures. Intervals are plug-in intervals, which treat the
estimates as the true parameters, unless --intervals full asks for intervals
that carry the estimates' uncertainty. The results of a random-locals fit
(estimator --random-locals) give each plot's height over the conditional
distribution of its locals given its measurements and the population.)",
    .arguments = {{"RESULTS", "results file", "results file of the run (JSON, from estimator --json)"},
                  {"DATA", "data file", "the run's data file (read only)"},
                  {"LOCALS", "local-parameter file",
                   "the run's local-parameter file as the run left it (read only)\n"
                   "(with --new-data only for --curve-figure)"}},
    .required = 1,
    .option_groups =
        {{"Outputs (at least one; each written beside its name and put in place when complete,\n"
          "and none of them when the plot files are not the run's)",
          {{"--projections", "FILE",
            "CSV: per plot and age, the median height, its interval,\n"
            "the interval of a new measurement, the power-scale moments"},
           {"--residuals", "FILE",
            "CSV: per measurement, the fitted height and the\n"
            "standardised innovation"},
           {"--site-index", "FILE", "CSV: per plot, the median height and its interval at --base-age"},
           {"--population", "FILE",
            "CSV: per age of --ages, the median height and intervals of a plot\n"
            "not measured (random-locals results only)"},
           {"--plot-figure", "FILE",
            "SVG: measured heights, median curve and band of up to 16 plots\n"
            "(the first ones; with --plot-pages every plot)"},
           {"--curve-figure", "FILE",
            "SVG: guide curves at the average locals and at quantiles of the locals,\n"
            "over the ages of --ages (without it, 0 to past the last measured age)"},
           {"--residual-figure", "FILE", "SVG: standardised innovations against age and fitted height, normal Q-Q"},
           {"--summary-page", "FILE",
            "HTML, self-contained (no network): title, model and outcome, the\n"
            "globals in raw units where exact (with --age-scale and --height-scale)\n"
            "with standard errors and correlations, the averages of the locals,\n"
            "the residual summary and the three figures inline"}}},
         settings_options(),
         new_plot_options(),
         site_curve_options()},
    .epilogue = R"(Exit status: 0 done; 2 a wrong call, a file that is missing, unreadable or not of
the run, a value that does not parse.
)",
    .column = 24,
  };
  return interface;
}

void read_settings(const io::CommandLine& c, Options& o) {
  if (auto v = c.option("--ages")) o.ages = io::numbers_and_steps("--ages", *v, kMaxRequestedAges - 1, "ages");
  if (auto v = c.option("--level")) o.level = io::fraction_list("--level", *v).at(0);
  if (auto v = c.option("--intervals")) {
    if (*v != "plug-in" && *v != "full") c.wrong_call("--intervals: plug-in or full, not " + *v);
    o.full_intervals = *v == "full";
  }
  o.draws = io::integer_option(c, "--draws", kDefaultDraws, 10);
  if (o.draws > kMaxDraws) c.wrong_call("--draws: at most " + std::to_string(kMaxDraws));
  if (auto v = c.option("--ids")) o.ids = io::integer_list("--ids", *v, "a plot identifier");
  if (auto v = c.option("--base-age")) o.base_age = io::number_value("--base-age", *v);
  if (auto v = c.option("--quantiles")) o.quantiles = io::fraction_list("--quantiles", *v);
  if (auto v = c.option("--age-scale")) o.age_scale = io::number_value("--age-scale", *v);
  if (auto v = c.option("--height-scale")) o.height_scale = io::number_value("--height-scale", *v);
  o.scaled_units = c.flag("--scaled-units");
  o.plot_pages = c.flag("--plot-pages");
  if (auto v = c.option("--site-curves")) o.site_curves = io::numbers_and_steps("--site-curves", *v, 50, "site indices");
  o.site_curve_table = c.option("--site-curve-table").value_or("");
  o.site_curve_figure = c.option("--site-curve-figure").value_or("");
  if (auto v = c.option("--age-unit")) o.age_unit = *v;
  if (auto v = c.option("--height-unit")) o.height_unit = *v;
  if (auto v = c.option("--comparison")) o.comparison = *v;
}

void check_new_plots_and_site_curves(const io::CommandLine& c, const Options& o) {
  if (!o.new_locals.empty() && o.new_data.empty()) c.wrong_call("--new-locals needs --new-data");
  const bool site_outputs = !o.site_curve_table.empty() || !o.site_curve_figure.empty();
  if (site_outputs != !o.site_curves.empty())
    c.wrong_call("--site-curves and --site-curve-table or --site-curve-figure go together");
  if (!o.site_curves.empty() && !o.base_age) c.wrong_call("--site-curves needs --base-age");
  if (!o.site_curve_table.empty() && o.ages.empty()) c.wrong_call("--site-curve-table needs --ages");
  if (!o.new_data.empty() && !o.summary_page.empty())
    c.wrong_call("--summary-page shows the run's own plots: it cannot be made with --new-data");
}

void check(const io::CommandLine& c, const Options& o) {
  if (o.tables.projections.empty() && o.tables.residuals.empty() && o.tables.site_index.empty() &&
      o.figures.plots.empty() && o.figures.curves.empty() && o.figures.residuals.empty() && o.summary_page.empty() &&
      o.new_locals.empty() && o.site_curve_table.empty() && o.site_curve_figure.empty() && o.population.empty())
    c.wrong_call(
        "no output asked for (--projections, --residuals, --site-index, --population, a figure, --summary-page, "
        "--new-locals or a site-curve output)");
  if (!o.comparison.empty() && o.summary_page.empty()) c.wrong_call("--comparison needs --summary-page");
  if (o.plot_pages && o.figures.plots.empty()) c.wrong_call("--plot-pages needs --plot-figure");
  check_new_plots_and_site_curves(c, o);
  if (!o.tables.projections.empty() && o.ages.empty()) c.wrong_call("--projections needs --ages");
  if (!o.tables.site_index.empty() && !o.base_age) c.wrong_call("--site-index needs --base-age");
  if (!o.population.empty() && o.ages.empty()) c.wrong_call("--population needs --ages");
  if (!(o.age_scale.value_or(1.0) > 0) || !(o.height_scale.value_or(1.0) > 0))
    c.wrong_call("the scales must be positive");
  if (o.scaled_units && (o.age_scale || o.height_scale))
    c.wrong_call("--scaled-units excludes --age-scale and --height-scale");
  if (o.quantiles.size() > 9) c.wrong_call("--quantiles: at most 9 quantiles");
}

}  // namespace

Options parse_command_line(int argc, char** argv) {
  const io::CommandLine c(argc, argv, program_interface());
  Options o;
  o.results = c.file(1);
  o.new_data = c.option("--new-data").value_or("");
  o.new_locals = c.option("--new-locals").value_or("");
  if (o.new_data.empty() || c.has_file(2)) o.plot_files = {c.file(2), c.file(3)};
  o.tables = {c.option("--projections").value_or(""), c.option("--residuals").value_or(""),
              c.option("--site-index").value_or("")};
  o.figures = {c.option("--plot-figure").value_or(""), c.option("--curve-figure").value_or(""),
               c.option("--residual-figure").value_or("")};
  o.summary_page = c.option("--summary-page").value_or("");
  o.population = c.option("--population").value_or("");
  read_settings(c, o);
  check(c, o);
  return o;
}

}  // namespace projector
