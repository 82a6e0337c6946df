// The checked reader of a results file (JSON) of an estimator run, shared by
// every program and test that reads one: values are asked for by JSON
// pointer, and a value that is missing or of the wrong kind ends the run with
// a message naming the file and the key at fault. The file's writer is
// estimator/results_json.cpp.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace common {

class ResultsReader {
 public:
  // Parses the file; refuses one that cannot be read, is not JSON or is not
  // a results file of estimator ("program": "estimator").
  explicit ResultsReader(const std::string& path);

  bool has(const std::string& pointer) const;
  const nlohmann::json& at(const std::string& pointer) const;
  std::string text(const std::string& pointer) const;
  // A text the file may leave out (empty then).
  std::string optional_text(const std::string& pointer) const;
  std::int64_t integer(const std::string& pointer) const;
  double finite(const std::string& pointer) const;
  // A number, or null (NaN) where the run gave no usable value.
  double number_or_nan(const std::string& pointer) const;
  // The length of an array.
  int size(const std::string& pointer) const;
  // An array of `count` finite numbers.
  template <class Array>
  void numbers(const std::string& pointer, int count, Array& out) const {
    expect_array(pointer, count, "numbers");
    for (int k = 0; k < count; ++k) out[static_cast<std::size_t>(k)] = finite(pointer + "/" + std::to_string(k));
  }
  // An array of the given names: those of the parameters of `model`.
  template <class Names>
  void names(const std::string& pointer, int count, const Names& expected, int model) const {
    const nlohmann::json& v = at(pointer);
    bool same = v.is_array() && static_cast<int>(v.size()) == count;
    for (int k = 0; same && k < count; ++k)
      same = v[static_cast<std::size_t>(k)] == std::string(expected[static_cast<std::size_t>(k)]);
    if (!same) bad(pointer, "does not name the parameters of model " + std::to_string(model) + " (" + v.dump() + ")");
  }
  [[noreturn]] void bad(const std::string& pointer, const std::string& what) const;

 private:
  void expect_array(const std::string& pointer, int count, const std::string& of) const;

  std::string path_;
  nlohmann::json root_;
};

}  // namespace common
