// The checked reader of the JSON files our programs write and read again: the
// results file of an estimator run and the data file's metadata. Values are
// asked for by JSON pointer, and a value that is missing or of the wrong kind
// ends the run (status 2) with a message naming the file and the key at fault.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace common {

// What a file is, for the messages and for the check of its "program" key.
struct JsonFileKind {
  std::string what;     // how messages name the file: "results file"
  std::string kind;     // what it must be: "results file", "metadata file"
  std::string program;  // the program that writes it: "estimator"
};

class JsonReader {
 public:
  // Parses the file; refuses one that cannot be read, is not JSON or was not
  // written by kind.program ("program": kind.program).
  JsonReader(const std::string& path, const JsonFileKind& kind);

  bool has(const std::string& pointer) const;
  const nlohmann::json& at(const std::string& pointer) const;
  std::string text(const std::string& pointer) const;
  // A text the file may leave out (empty then).
  std::string optional_text(const std::string& pointer) const;
  std::int64_t integer(const std::string& pointer) const;
  double finite(const std::string& pointer) const;
  // A finite number above 0 (a scale).
  double positive(const std::string& pointer) const;
  // A number, or null (NaN) where the run gave no usable value.
  double number_or_nan(const std::string& pointer) const;
  // 16 lower-case hexadecimal digits (common/fingerprint.hpp).
  std::string fingerprint(const std::string& pointer) const;
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
  std::string what_;
  nlohmann::json root_;
};

}  // namespace common
