#include "io/option_values.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include "io/errors.hpp"

namespace io {
namespace {

[[noreturn]] void bad_list(const std::string& option, const std::string& text, const std::string& why) {
  fail(option + " " + quoted(text) + ": " + why);
}

// FROM:TO:STEP with STEP > 0 and FROM <= TO.
void add_steps(const std::string& option, const std::string& text, const std::string& item, std::vector<double>& out,
               std::size_t limit, const std::string& noun) {
  std::vector<double> v;
  std::stringstream s(item);
  for (std::string part; std::getline(s, part, ':');) {
    const std::optional<double> x = whole_number(part);
    if (!x) bad_list(option, text, "item " + quoted(item) + " is not a range FROM:TO:STEP of numbers");
    v.push_back(*x);
  }
  if (v.size() != 3 || !(v[2] > 0) || v[0] > v[1])
    bad_list(option, text, "item " + quoted(item) + " is not a range FROM:TO:STEP with FROM <= TO and STEP > 0");
  // The k-th value is FROM + k STEP (no running sum, so no drift); TO counts
  // when the steps reach it up to rounding.
  const double steps = std::floor((v[1] - v[0]) / v[2] + 1e-9);
  if (steps + 1 > static_cast<double>(limit - out.size()))
    bad_list(option, text, "more than " + std::to_string(limit) + " " + noun);
  for (int k = 0; k <= static_cast<int>(steps); ++k) out.push_back(v[0] + k * v[2]);
}

}  // namespace

std::optional<int> whole_integer(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> whole_number(const std::string& text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

int integer_option(const CommandLine& line, const std::string& name, int fallback, int lowest) {
  const auto text = line.option(name);
  if (!text) return fallback;
  const std::optional<int> value = whole_integer(*text);
  if (!value || *value < lowest)
    line.wrong_call(name + " takes an integer of at least " + std::to_string(lowest) + ", not " + quoted(*text));
  return *value;
}

double positive_option(const CommandLine& line, const std::string& name, double fallback) {
  const auto text = line.option(name);
  if (!text) return fallback;
  const std::optional<double> value = whole_number(*text);
  if (!value || !(*value > 0.0)) line.wrong_call(name + " takes a positive number, not " + quoted(*text));
  return *value;
}

std::vector<std::string> list_items(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  for (std::string item; std::getline(s, item, ',');) out.push_back(item);
  if (!text.empty() && text.back() == ',') out.push_back("");
  return out;
}

double number_value(const std::string& option, const std::string& text) {
  const std::optional<double> v = whole_number(text);
  if (!v) bad_list(option, text, "not a number");
  return *v;
}

std::vector<double> numbers_and_steps(const std::string& option, const std::string& text, int limit,
                                      const std::string& noun) {
  std::vector<double> out;
  const auto most = static_cast<std::size_t>(limit);
  for (const std::string& item : list_items(text)) {
    if (item.find(':') != std::string::npos) {
      add_steps(option, text, item, out, most, noun);
      continue;
    }
    const std::optional<double> v = whole_number(item);
    if (!v) bad_list(option, text, "item " + quoted(item) + " is not a number");
    if (out.size() >= most) bad_list(option, text, "more than " + std::to_string(limit) + " " + noun);
    out.push_back(*v);
  }
  if (out.empty()) bad_list(option, text, "no " + noun);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::vector<std::int32_t> integer_list(const std::string& option, const std::string& text, const std::string& what) {
  std::vector<std::int32_t> out;
  for (const std::string& item : list_items(text)) {
    std::int32_t v = 0;
    const auto r = std::from_chars(item.data(), item.data() + item.size(), v);
    if (item.empty() || r.ec != std::errc() || r.ptr != item.data() + item.size())
      bad_list(option, text, "item " + quoted(item) + " is not " + what + " (a 32-bit integer)");
    out.push_back(v);
  }
  return out;
}

std::vector<double> fraction_list(const std::string& option, const std::string& text) {
  std::vector<double> out;
  for (const std::string& item : list_items(text)) {
    const std::optional<double> v = whole_number(item);
    if (!v || !(*v > 0 && *v < 1))
      bad_list(option, text, "item " + quoted(item) + " is not a number strictly between 0 and 1");
    out.push_back(*v);
  }
  if (out.empty()) bad_list(option, text, "no values");
  return out;
}

std::optional<std::vector<int>> integers_and_ranges(const std::string& text, int lowest, int highest) {
  std::vector<int> out;
  std::stringstream items(text);
  for (std::string item; std::getline(items, item, ',');) {
    const auto dash = item.find('-', 1);  // a leading '-' is a sign
    const std::optional<int> first = whole_integer(item.substr(0, dash));
    const std::optional<int> last = dash == std::string::npos ? first : whole_integer(item.substr(dash + 1));
    if (!first || !last || *first < lowest || *last > highest || *last < *first) return std::nullopt;
    for (int k = *first; k <= *last; ++k) out.push_back(k);
  }
  if (out.empty()) return std::nullopt;
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace io
