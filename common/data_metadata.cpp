#include "common/data_metadata.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "io/command_line.hpp"
#include "io/errors.hpp"
#include "io/text_writer.hpp"

namespace common {
namespace {

using nlohmann::ordered_json;

ordered_json parse(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) io::fail("cannot open the data file's metadata '" + path + "': " + std::strerror(errno));
  try {
    return ordered_json::parse(in);
  } catch (const ordered_json::exception& e) {
    io::fail("data file's metadata '" + path + "' is not JSON: " + e.what());
  }
}

class MetadataReader {
 public:
  explicit MetadataReader(std::string path) : path_(std::move(path)), root_(parse(path_)) {
    const auto program = root_.is_object() ? root_.find("program") : root_.end();
    if (program == root_.end() || !program->is_string() || program->get<std::string>() != "preparer")
      io::fail("data file's metadata '" + path_ + "' is not a metadata file of preparer (no \"program\": \"preparer\")");
  }
  const ordered_json& at(const char* key) const {
    if (!root_.contains(key)) bad(key, "is missing");
    return root_[key];
  }
  double scale(const char* key) const {
    const ordered_json& v = at(key);
    if (!v.is_number() || !(v.get<double>() > 0.0) || !std::isfinite(v.get<double>()))
      bad(key, "should be a number greater than 0");
    return v.get<double>();
  }
  std::int64_t count(const char* key) const {
    const ordered_json& v = at(key);
    if (!v.is_number_integer() || v.get<std::int64_t>() < 0) bad(key, "should be an integer of at least 0");
    return v.get<std::int64_t>();
  }
  std::string text(const char* key) const {
    const ordered_json& v = at(key);
    if (!v.is_string()) bad(key, "should be a string");
    return v.get<std::string>();
  }
  [[noreturn]] void bad(const char* key, const std::string& what) const {
    io::fail("data file's metadata '" + path_ + "': \"" + key + "\" " + what);
  }

 private:
  std::string path_;
  ordered_json root_;
};

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
  const MetadataReader r(path);
  DataMetadata m;
  m.age_scale = r.scale("age_scale");
  m.height_scale = r.scale("height_scale");
  m.raw_file = r.text("raw_file");
  m.plots = r.count("plots");
  m.measurements = r.count("measurements");
  m.data_fingerprint = r.text("data_fingerprint");
  if (m.data_fingerprint.size() != 16 || m.data_fingerprint.find_first_not_of("0123456789abcdef") != std::string::npos)
    r.bad("data_fingerprint", "should be 16 hexadecimal digits");
  return m;
}

}  // namespace common
