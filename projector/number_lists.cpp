#include "projector/number_lists.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include "io/errors.hpp"

namespace projector {
namespace {

std::vector<std::string> items(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  for (std::string item; std::getline(s, item, ',');) out.push_back(item);
  if (!text.empty() && text.back() == ',') out.push_back("");
  return out;
}

[[noreturn]] void bad(const std::string& option, const std::string& text, const std::string& why) {
  io::fail(option + " " + io::quoted(text) + ": " + why);
}

bool to_double(const std::string& s, double& v) {
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

// FROM:TO:STEP with STEP > 0 and FROM <= TO.
void add_range(const std::string& option, const std::string& text, const std::string& item, std::vector<double>& out,
               std::size_t limit) {
  std::vector<double> v;
  std::stringstream s(item);
  for (std::string part; std::getline(s, part, ':');) {
    double x = 0;
    if (!to_double(part, x)) bad(option, text, "item " + io::quoted(item) + " is not a range FROM:TO:STEP of numbers");
    v.push_back(x);
  }
  if (v.size() != 3 || !(v[2] > 0) || v[0] > v[1])
    bad(option, text, "item " + io::quoted(item) + " is not a range FROM:TO:STEP with FROM <= TO and STEP > 0");
  // The k-th age is FROM + k STEP (no running sum, so no drift); TO counts
  // when the steps reach it up to rounding.
  const double steps = std::floor((v[1] - v[0]) / v[2] + 1e-9);
  if (steps + 1 > static_cast<double>(limit - out.size()))
    bad(option, text, "more than " + std::to_string(limit) + " ages");
  for (int k = 0; k <= static_cast<int>(steps); ++k) out.push_back(v[0] + k * v[2]);
}

}  // namespace

double parse_number(const std::string& option, const std::string& text) {
  double v = 0;
  if (!to_double(text, v)) bad(option, text, "not a number");
  return v;
}

std::vector<double> parse_ages(const std::string& option, const std::string& text, int limit) {
  std::vector<double> out;
  for (const std::string& item : items(text)) {
    if (item.find(':') != std::string::npos) {
      add_range(option, text, item, out, static_cast<std::size_t>(limit));
      continue;
    }
    double v = 0;
    if (!to_double(item, v)) bad(option, text, "item " + io::quoted(item) + " is not a number");
    if (out.size() >= static_cast<std::size_t>(limit))
      bad(option, text, "more than " + std::to_string(limit) + " ages");
    out.push_back(v);
  }
  if (out.empty()) bad(option, text, "no ages");
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::vector<std::int32_t> parse_ids(const std::string& option, const std::string& text) {
  std::vector<std::int32_t> out;
  for (const std::string& item : items(text)) {
    std::int32_t v = 0;
    const auto r = std::from_chars(item.data(), item.data() + item.size(), v);
    if (item.empty() || r.ec != std::errc() || r.ptr != item.data() + item.size())
      bad(option, text, "item " + io::quoted(item) + " is not a plot identifier (a 32-bit integer)");
    out.push_back(v);
  }
  return out;
}

std::vector<double> parse_fractions(const std::string& option, const std::string& text) {
  std::vector<double> out;
  for (const std::string& item : items(text)) {
    double v = 0;
    if (!to_double(item, v) || !(v > 0 && v < 1))
      bad(option, text, "item " + io::quoted(item) + " is not a number strictly between 0 and 1");
    out.push_back(v);
  }
  if (out.empty()) bad(option, text, "no values");
  return out;
}

}  // namespace projector
