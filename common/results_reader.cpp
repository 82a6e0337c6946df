#include "common/results_reader.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

#include "io/errors.hpp"

namespace common {
namespace {

using nlohmann::json;

json parse(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) io::fail("cannot open the results file '" + path + "': " + std::strerror(errno));
  try {
    return json::parse(in);
  } catch (const json::exception& e) {
    io::fail("results file '" + path + "' is not JSON: " + e.what());
  }
}

}  // namespace

ResultsReader::ResultsReader(const std::string& path) : path_(path), root_(parse(path)) {
  if (!root_.is_object() || !root_.contains("program") || root_["program"] != "estimator")
    io::fail("results file '" + path + "' is not a results file of estimator (no \"program\": \"estimator\")");
}

bool ResultsReader::has(const std::string& pointer) const { return root_.contains(json::json_pointer(pointer)); }

const json& ResultsReader::at(const std::string& pointer) const {
  const json::json_pointer p(pointer);
  if (!root_.contains(p)) bad(pointer, "is missing");
  return root_.at(p);
}

std::string ResultsReader::text(const std::string& pointer) const {
  const json& v = at(pointer);
  if (!v.is_string()) bad(pointer, "should be a string");
  return v.get<std::string>();
}

std::string ResultsReader::optional_text(const std::string& pointer) const {
  const json::json_pointer p(pointer);
  return root_.contains(p) && root_.at(p).is_string() ? root_.at(p).get<std::string>() : std::string();
}

std::int64_t ResultsReader::integer(const std::string& pointer) const {
  const json& v = at(pointer);
  if (!v.is_number_integer()) bad(pointer, "should be an integer");
  return v.get<std::int64_t>();
}

double ResultsReader::finite(const std::string& pointer) const {
  const json& v = at(pointer);
  if (!v.is_number() || !std::isfinite(v.get<double>()))
    bad(pointer, v.is_null() ? "is not finite (null): the run gave no usable estimate" : "should be a number");
  return v.get<double>();
}

double ResultsReader::number_or_nan(const std::string& pointer) const {
  const json& v = at(pointer);
  if (v.is_null()) return std::nan("");
  if (!v.is_number()) bad(pointer, "should be a number or null");
  return v.get<double>();
}

int ResultsReader::size(const std::string& pointer) const {
  const json& v = at(pointer);
  if (!v.is_array()) bad(pointer, "should be an array");
  return static_cast<int>(v.size());
}

void ResultsReader::expect_array(const std::string& pointer, int count, const std::string& of) const {
  const json& v = at(pointer);
  if (!v.is_array() || static_cast<int>(v.size()) != count)
    bad(pointer, "should be an array of " + std::to_string(count) + " " + of);
}

void ResultsReader::bad(const std::string& pointer, const std::string& what) const {
  io::fail("results file '" + path_ + "': \"" + pointer + "\" " + what);
}

}  // namespace common
