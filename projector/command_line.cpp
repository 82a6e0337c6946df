#include "projector/command_line.hpp"

#include <cstdio>
#include <map>
#include <string_view>

#include "io/errors.hpp"
#include "projector/number_lists.hpp"
#include "projector/state_smoother.hpp"

namespace projector {
namespace {

[[noreturn]] void wrong_call(const std::string& why) {
  std::fprintf(stderr, "projector: %s\n%s", why.c_str(), usage_text());
  throw io::Stop{io::kExitIoFailure};
}

using Setter = void (*)(Options&, const std::string& option, const std::string& value);

const std::map<std::string_view, Setter>& setters() {
  static const std::map<std::string_view, Setter> table = {
      {"--projections", [](Options& o, const std::string&, const std::string& v) { o.tables.projections = v; }},
      {"--residuals", [](Options& o, const std::string&, const std::string& v) { o.tables.residuals = v; }},
      {"--site-index", [](Options& o, const std::string&, const std::string& v) { o.tables.site_index = v; }},
      {"--plot-figure", [](Options& o, const std::string&, const std::string& v) { o.figures.plots = v; }},
      {"--curve-figure", [](Options& o, const std::string&, const std::string& v) { o.figures.curves = v; }},
      {"--residual-figure", [](Options& o, const std::string&, const std::string& v) { o.figures.residuals = v; }},
      {"--ages", [](Options& o, const std::string& k, const std::string& v) { o.ages = parse_ages(k, v, kMaxRequestedAges - 1); }},
      {"--level", [](Options& o, const std::string& k, const std::string& v) { o.level = parse_fractions(k, v).at(0); }},
      {"--ids", [](Options& o, const std::string& k, const std::string& v) { o.ids = parse_ids(k, v); }},
      {"--base-age", [](Options& o, const std::string& k, const std::string& v) { o.base_age = parse_number(k, v); }},
      {"--quantiles", [](Options& o, const std::string& k, const std::string& v) { o.quantiles = parse_fractions(k, v); }},
      {"--age-scale", [](Options& o, const std::string& k, const std::string& v) { o.units.age_scale = parse_number(k, v); }},
      {"--height-scale", [](Options& o, const std::string& k, const std::string& v) { o.units.height_scale = parse_number(k, v); }},
      {"--age-unit", [](Options& o, const std::string&, const std::string& v) { o.age_unit = v; }},
      {"--height-unit", [](Options& o, const std::string&, const std::string& v) { o.height_unit = v; }},
  };
  return table;
}

void check(const Options& o) {
  if (o.tables.projections.empty() && o.tables.residuals.empty() && o.tables.site_index.empty() &&
      o.figures.plots.empty() && o.figures.curves.empty() && o.figures.residuals.empty())
    wrong_call("no output asked for (--projections, --residuals, --site-index or a figure)");
  if (!o.tables.projections.empty() && o.ages.empty()) wrong_call("--projections needs --ages");
  if (!o.tables.site_index.empty() && !o.base_age) wrong_call("--site-index needs --base-age");
  if (!(o.units.age_scale > 0) || !(o.units.height_scale > 0)) wrong_call("the scales must be positive");
  if (o.quantiles.size() > 9) wrong_call("--quantiles: at most 9 quantiles");
}

}  // namespace

const char* usage_text() {
  return "usage: projector RESULTS-JSON DATA-FILE LOCAL-PARAMETER-FILE [options]\n"
         "\n"
         "Reads the results file of a finished run (estimator --json) and the run's plot files,\n"
         "and writes, per plot, its height's distribution at chosen ages given its measurements,\n"
         "its residuals, its site index, and figures. Intervals treat the estimates as known.\n"
         "\n"
         "outputs (at least one):\n"
         "  --projections FILE      CSV: per plot and age, median height and prediction intervals\n"
         "  --residuals FILE        CSV: per measurement, fitted height and standardised innovation\n"
         "  --site-index FILE       CSV: per plot, the median height and interval at --base-age\n"
         "  --plot-figure FILE      SVG: heights, median curve and band of up to 16 plots\n"
         "  --curve-figure FILE     SVG: guide curves at the average and at quantiles of the locals\n"
         "  --residual-figure FILE  SVG: standardised innovations against age, fitted height, normal Q-Q\n"
         "settings:\n"
         "  --ages LIST             ages of --projections: 5,10,20 or FROM:TO:STEP items, mixed\n"
         "  --level P               level of the intervals, 0 < P < 1 (default 0.9)\n"
         "  --ids LIST              only these plot identifiers (tables and plot figure)\n"
         "  --base-age AGE          base age of the site index\n"
         "  --quantiles LIST        quantiles of the locals for the guide curves (default 0.1,0.5,0.9)\n"
         "  --age-scale S           the preparer's age scale: ages read and written in raw units\n"
         "  --height-scale S        the preparer's height scale: heights written in raw units\n"
         "  --age-unit TEXT         unit named on figure axes (default \"scaled units\")\n"
         "  --height-unit TEXT      unit named on figure axes (default \"scaled units\")\n"
         "  --help, --version\n";
}

Call parse_command_line(int argc, char** argv, Options& options) {
  std::vector<std::string> files;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--help") return Call::help;
    if (arg == "--version") return Call::version;
    if (arg.rfind("--", 0) != 0) {
      files.push_back(arg);
      continue;
    }
    const auto setter = setters().find(arg);
    if (setter == setters().end()) wrong_call("unknown option " + io::quoted(arg));
    if (k + 1 >= argc) wrong_call("no value after " + arg);
    setter->second(options, arg, argv[++k]);
  }
  if (files.size() != 3) wrong_call("expected three file names, got " + std::to_string(files.size()));
  options.results = files[0];
  options.plot_files = {files[1], files[2]};
  check(options);
  return Call::run;
}

}  // namespace projector
