#include "common/json_reader.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

#include "io/errors.hpp"

namespace common {
namespace {

using nlohmann::json;

json parse(const std::string& path, const std::string& what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) io::fail("cannot open the " + what + " '" + path + "': " + std::strerror(errno));
  try {
    return json::parse(in);
  } catch (const json::exception& e) {
    io::fail(what + " '" + path + "' is not JSON: " + e.what());
  }
}

}  // namespace

JsonReader::JsonReader(const std::string& path, const JsonFileKind& kind)
    : path_(path), what_(kind.what), root_(parse(path, kind.what)) {
  if (!root_.is_object() || !root_.contains("program") || root_["program"] != kind.program)
    io::fail(what_ + " '" + path + "' is not a " + kind.kind + " of " + kind.program + " (no \"program\": \"" +
             kind.program + "\")");
}

bool JsonReader::has(const std::string& pointer) const { return root_.contains(json::json_pointer(pointer)); }

const json& JsonReader::at(const std::string& pointer) const {
  const json::json_pointer p(pointer);
  if (!root_.contains(p)) bad(pointer, "is missing");
  return root_.at(p);
}

std::string JsonReader::text(const std::string& pointer) const {
  const json& v = at(pointer);
  if (!v.is_string()) bad(pointer, "should be a string");
  return v.get<std::string>();
}

std::string JsonReader::optional_text(const std::string& pointer) const {
  const json::json_pointer p(pointer);
  return root_.contains(p) && root_.at(p).is_string() ? root_.at(p).get<std::string>() : std::string();
}

std::int64_t JsonReader::integer(const std::string& pointer) const {
  const json& v = at(pointer);
  if (!v.is_number_integer()) bad(pointer, "should be an integer");
  return v.get<std::int64_t>();
}

double JsonReader::finite(const std::string& pointer) const {
  const json& v = at(pointer);
  if (!v.is_number() || !std::isfinite(v.get<double>()))
    bad(pointer, v.is_null() ? "is not finite (null): the run gave no usable estimate" : "should be a number");
  return v.get<double>();
}

double JsonReader::positive(const std::string& pointer) const {
  const double v = finite(pointer);
  if (!(v > 0.0)) bad(pointer, "should be a number greater than 0");
  return v;
}

double JsonReader::number_or_nan(const std::string& pointer) const {
  const json& v = at(pointer);
  if (v.is_null()) return std::nan("");
  if (!v.is_number()) bad(pointer, "should be a number or null");
  return v.get<double>();
}

int JsonReader::size(const std::string& pointer) const {
  const json& v = at(pointer);
  if (!v.is_array()) bad(pointer, "should be an array");
  return static_cast<int>(v.size());
}

void JsonReader::expect_array(const std::string& pointer, int count, const std::string& of) const {
  const json& v = at(pointer);
  if (!v.is_array() || static_cast<int>(v.size()) != count)
    bad(pointer, "should be an array of " + std::to_string(count) + " " + of);
}

std::string JsonReader::fingerprint(const std::string& pointer) const {
  std::string s = text(pointer);
  if (s.size() != 16 || s.find_first_not_of("0123456789abcdef") != std::string::npos)
    bad(pointer, "should be 16 hexadecimal digits");
  return s;
}

void JsonReader::bad(const std::string& pointer, const std::string& what) const {
  io::fail(what_ + " '" + path_ + "': \"" + pointer + "\" " + what);
}

}  // namespace common
