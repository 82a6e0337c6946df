#include "starter/plot_scan.hpp"

#include <array>
#include <cmath>

#include "common/limits.hpp"
#include "common/plot_record.hpp"
#include "io/csv_writer.hpp"
#include "starter/progress.hpp"
#include "starter/refusal.hpp"

namespace starter {
namespace {

// Ages and heights the likelihood can take: finite ages that do not
// decrease, heights that are positive and finite; returns the number of
// distinct ages.
int check_measurements(const common::Plot& plot, std::int64_t position) {
  int distinct = 1;
  for (int i = 0; i < plot.n; ++i) {
    const double t = plot.ages[static_cast<std::size_t>(i)], h = plot.heights[static_cast<std::size_t>(i)];
    const auto where = [&] { return plot_name(position, plot.id) + ", measurement " + std::to_string(i + 1) + ": "; };
    if (!(h > 0.0) || !std::isfinite(h))
      refuse(where() + "height " + io::number_text(h) +
             "; the model takes powers and logarithms of heights, which must be positive");
    if (!std::isfinite(t)) refuse(where() + "age " + io::number_text(t) + " is not a number");
    if (i > 0 && t < plot.ages[static_cast<std::size_t>(i - 1)])
      refuse(where() + "the age decreases (the data file is damaged)");
    if (i > 0 && t > plot.ages[static_cast<std::size_t>(i - 1)]) ++distinct;
  }
  return distinct;
}

// The preparer writes a plot's starting locals and zeros after them; a value
// after the model's locals means another number of locals, or a file that
// an estimator run has used.
void check_record(io::DirectAccessFile& locals, const std::string& path, std::int64_t position,
                  const ModelRoles& roles) {
  std::array<double, common::kRecordReals> reals{};
  const std::int32_t id = common::read_record_start(locals, position, common::kRecordReals, reals.data());
  for (int k = roles.nl; k < common::kRecordReals; ++k) {
    if (reals[static_cast<std::size_t>(k)] == 0.0) continue;
    refuse("the local-parameter file " + path + " holds more than model " + std::to_string(roles.model) + "'s " +
           std::to_string(roles.nl) + (roles.nl == 1 ? " local" : " locals") + ": record " + std::to_string(position) +
           " (ID " + std::to_string(id) + ") has " + io::number_text(reals[static_cast<std::size_t>(k)]) + " in real " +
           std::to_string(k + 1) +
           ". Either the preparer was given more locals, or an estimator run has used the file; run the preparer "
           "again with " +
           std::to_string(roles.nl) + (roles.nl == 1 ? " local" : " locals") +
           " (any starting values) and give the starter that file");
  }
}

void refuse_single_age(const common::Plot& plot, std::int64_t position, const ModelRoles& roles) {
  refuse(plot_name(position, plot.id) + " has " + std::to_string(plot.n) +
         (plot.n == 1 ? " measurement" : " measurements at one age") + ": model " + std::to_string(roles.model) +
         " estimates an asymptote and a rate for every plot, which needs measurements at two ages or more. Run the "
         "preparer with a larger minimum number of measurements (and drop plots measured at one age), or choose a "
         "model with one local");
}

}  // namespace

DataSummary scan_plots(PlotFiles& files, const ModelRoles& roles, std::int64_t sample_size) {
  DataSummary summary;
  summary.plots = files.plots();
  const std::int64_t sample = std::min(sample_size, summary.plots);
  summary.sample.reserve(static_cast<std::size_t>(sample));
  Progress progress("checking the plots", summary.plots);
  files.rewind();
  common::Plot plot;
  for (std::int64_t p = 1; p <= summary.plots; ++p) {
    files.read_plot(p, plot);
    check_record(files.locals(), files.locals_path(), p, roles);
    const int distinct = check_measurements(plot, p);
    if (distinct < roles.nl) refuse_single_age(plot, p, roles);
    summary.measurements += plot.n;
    summary.spare += distinct - roles.nl;
    if (p * sample / summary.plots != (p - 1) * sample / summary.plots) summary.sample.push_back(plot);
    progress.at(p);
  }
  files.check_data_ends();
  if (summary.spare < roles.ng + 1)
    refuse("model " + std::to_string(roles.model) + " cannot be started from these data: its " +
           std::to_string(roles.ng) + " globals need at least " + std::to_string(roles.ng + 1) +
           " measurements at distinct ages beyond the " + std::to_string(roles.nl) + " per plot that the plots' own " +
           (roles.nl == 1 ? "local takes" : "locals take") + ", and the " + std::to_string(summary.plots) +
           " plots have " + std::to_string(summary.spare));
  return summary;
}

}  // namespace starter
