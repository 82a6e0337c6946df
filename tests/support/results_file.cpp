#include "support/results_file.hpp"

#include <algorithm>
#include <array>

#include "common/control_file.hpp"
#include "common/data_metadata.hpp"
#include "common/fingerprint.hpp"
#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "common/plot_record.hpp"
#include "estimator/results_json.hpp"
#include "io/binary_file.hpp"
#include "io/text_writer.hpp"
#include "model/model_table.hpp"

namespace {

// The plots of the files, their measurements and the files' fingerprints.
void fingerprint_files(const std::string& data_path, const std::string& locals_path, int nl,
                       estimator::ReportSummary& summary) {
  io::SequentialReader data(data_path, "data file");
  io::DirectAccessFile locals = common::open_local_file(locals_path, io::DirectAccessFile::Mode::read_only);
  common::Fingerprint data_print, locals_print;
  common::Plot plot;
  std::array<double, common::kMaxLocals> values{};
  for (; summary.plots < locals.records_in_file(); ++summary.plots) {
    const std::int32_t record_id = common::read_record_start(locals, summary.plots + 1, nl, values.data());
    if (common::read_plot(data, record_id, plot) != common::PlotStatus::ok) break;
    data_print.add_plot(plot.id, plot.n, plot.ages.data(), plot.heights.data());
    locals_print.add_record(record_id, nl, values.data());
    summary.measurements += plot.n;
  }
  summary.data_fingerprint = data_print.hex();
  summary.locals_fingerprint = locals_print.hex();
}

}  // namespace

void write_results_file(const std::string& path, const ResultsSettings& s, const std::string& data_path,
                        const std::string& locals_path) {
  const auto counts = model::model_counts(s.model);
  common::ControlFile control;
  control.title = "TEST RUN";
  control.ng = counts.ng;
  control.nl = counts.nl;
  control.model = s.model;
  control.k1 = s.k1;
  control.k2 = s.k2;
  model::Globals globals{};
  std::copy_n(s.globals.begin(), std::min<std::size_t>(s.globals.size(), globals.size()), globals.begin());
  estimator::ReportSummary summary;
  fingerprint_files(data_path, locals_path, counts.nl, summary);
  control.np = summary.plots;
  std::copy_n(s.local_averages.begin(), std::min<std::size_t>(s.local_averages.size(), common::kMaxLocals),
              summary.averages.averages.begin());
  const estimator::RunFiles files{"test.ctl", data_path, locals_path, "test.rep"};
  const estimator::NewtonSummary fit;
  io::TextWriter out(path, "results file");
  // The metadata a preparer run would have left beside the data file.
  const common::DataMetadata metadata{s.age_scale, s.height_scale, "test.txt", summary.plots, summary.measurements,
                                      summary.data_fingerprint};
  estimator::write_results_json(out, {control, files, globals, fit, summary, s.scales ? &metadata : nullptr});
  out.commit();
}
