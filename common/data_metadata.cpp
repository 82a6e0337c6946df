#include "common/data_metadata.hpp"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "common/json_reader.hpp"
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

}  // namespace common
