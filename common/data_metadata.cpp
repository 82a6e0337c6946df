#include "common/data_metadata.hpp"

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "common/fingerprint.hpp"
#include "common/json_reader.hpp"
#include "common/plot_file_readers.hpp"
#include "io/binary_file.hpp"
#include "io/command_line.hpp"
#include "io/errors.hpp"
#include "io/text_writer.hpp"

namespace common {
namespace {

using nlohmann::ordered_json;

std::int64_t count(const JsonReader& r, const char* pointer) {
  const std::int64_t v = r.integer(pointer);
  if (v < 0) r.bad(pointer, "should be an integer of at least 0");
  return v;
}

}  // namespace

std::string metadata_path(const std::string& data_path) { return data_path + ".meta.json"; }

void write_data_metadata(const std::string& data_path, const DataMetadata& m) {
  ordered_json j;
  j["program"] = "preparer";
  j["version"] = io::version();
  j["raw_file"] = m.raw_file;
  j["age_scale"] = m.age_scale;
  j["height_scale"] = m.height_scale;
  j["plots"] = m.plots;
  j["measurements"] = m.measurements;
  j["data_fingerprint"] = m.data_fingerprint;
  io::TextWriter out(metadata_path(data_path), "data file's metadata");
  out.put(j.dump(2, ' ', false, ordered_json::error_handler_t::replace));
  out.put("\n");
  out.commit();
}

std::optional<DataMetadata> read_data_metadata(const std::string& data_path) {
  const std::string path = metadata_path(data_path);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return std::nullopt;
  const JsonReader r(path, JsonFileKind{"data file's metadata", "metadata file", "preparer"});
  DataMetadata m;
  m.age_scale = r.positive("/age_scale");
  m.height_scale = r.positive("/height_scale");
  m.raw_file = r.text("/raw_file");
  m.plots = count(r, "/plots");
  m.measurements = count(r, "/measurements");
  m.data_fingerprint = r.fingerprint("/data_fingerprint");
  return m;
}


const DataMetadata* describing(const std::optional<DataMetadata>& metadata, const std::string& data_path,
                               const std::string& fingerprint, const char* program, const char* consequence) {
  if (!metadata) return nullptr;
  if (metadata->data_fingerprint == fingerprint) return &*metadata;
  std::fprintf(stderr,
               "%s: note: the metadata '%s' does not describe the data file '%s' (its fingerprint is %s, the "
               "data file's %s): %s\n",
               program, metadata_path(data_path).c_str(), data_path.c_str(), metadata->data_fingerprint.c_str(),
               fingerprint.c_str(), consequence);
  return nullptr;
}

std::optional<std::string> data_file_fingerprint(const std::string& data_path) {
  try {
    io::SequentialReader data(data_path, "data file");
    Fingerprint print;
    Plot plot;
    PlotStatus status;
    while ((status = read_any_plot(data, plot)) == PlotStatus::ok)
      print.add_plot(plot.id, plot.n, plot.ages.data(), plot.heights.data());
    if (status != PlotStatus::data_ended) return std::nullopt;
    return print.hex();
  } catch (const io::IoError&) {
    return std::nullopt;
  }
}

std::optional<DataMetadata> read_describing_metadata(const std::string& data_path, const char* program,
                                                     const char* consequence) {
  std::optional<DataMetadata> metadata = read_data_metadata(data_path);
  if (!metadata) return metadata;
  const std::optional<std::string> fingerprint = data_file_fingerprint(data_path);
  if (!fingerprint || describing(metadata, data_path, *fingerprint, program, consequence)) return metadata;
  return std::nullopt;
}

}  // namespace common
