#include "io/option_values.hpp"

#include <charconv>
#include <cmath>

#include "io/errors.hpp"

namespace io {

std::optional<int> whole_integer(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
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
  double value = 0.0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size() || !std::isfinite(value) || !(value > 0.0))
    line.wrong_call(name + " takes a positive number, not " + quoted(*text));
  return value;
}

}  // namespace io
