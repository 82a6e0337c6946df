#include "support/results_file.hpp"

#include <nlohmann/json.hpp>

#include "common/fingerprint.hpp"
#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "common/plot_record.hpp"
#include "io/binary_file.hpp"
#include "model/model_table.hpp"

std::string results_json(const ResultsSettings& s, const std::string& data_path, const std::string& locals_path) {
  const auto counts = model::model_counts(s.model);
  const auto& names = model::model_names(s.model);
  std::vector<std::string> gnames(names.globals.begin(), names.globals.begin() + counts.ng);
  std::vector<std::string> lnames(names.locals.begin(), names.locals.begin() + counts.nl);

  io::SequentialReader data(data_path, "data file");
  io::DirectAccessFile locals(locals_path, "local-parameter file", common::kRecordLength,
                              io::DirectAccessFile::Mode::read_only);
  common::Fingerprint data_print, locals_print;
  std::int64_t plots = 0, measurements = 0;
  common::Plot plot;
  std::array<double, common::kMaxLocals> values{};
  for (; plots < locals.records_in_file(); ++plots) {
    const std::int32_t record_id = common::read_record_start(locals, plots + 1, counts.nl, values.data());
    if (common::read_plot(data, record_id, plot) != common::PlotStatus::ok) break;
    data_print.add_plot(plot.id, plot.n, plot.ages.data(), plot.heights.data());
    locals_print.add_record(record_id, counts.nl, values.data());
    measurements += plot.n;
  }
  nlohmann::json j = {
      {"program", "estimator"},
      {"version", "test"},
      {"title", "TEST RUN"},
      {"model", {{"number", s.model}, {"constants", {s.k1, s.k2}}, {"globals", gnames}, {"locals", lnames}}},
      {"outcome", "converged"},
      {"plots", plots},
      {"measurements", measurements},
      {"globals", {{"names", gnames}, {"estimates", s.globals}}},
      {"local_averages", {{"names", lnames}, {"estimates", s.local_averages}}},
      {"fingerprints", {{"data", data_print.hex()}, {"locals", locals_print.hex()}}},
  };
  if (s.scales)
    j["data_scales"] = {{"age_scale", s.age_scale}, {"height_scale", s.height_scale}, {"metadata", "test.meta.json"}};
  return j.dump(2);
}
