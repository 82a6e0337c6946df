#include "projector/run_results.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

#include "io/errors.hpp"
#include "model/model_table.hpp"

namespace projector {
namespace {

using nlohmann::json;

class Reader {
 public:
  Reader(const json& root, const std::string& path) : root_(root), path_(path) {}

  const json& at(const std::string& pointer) const {
    const json::json_pointer p(pointer);
    if (!root_.contains(p)) bad(pointer, "is missing");
    return root_.at(p);
  }
  std::string text(const std::string& pointer) const {
    const json& v = at(pointer);
    if (!v.is_string()) bad(pointer, "should be a string");
    return v.get<std::string>();
  }
  std::int64_t integer(const std::string& pointer) const {
    const json& v = at(pointer);
    if (!v.is_number_integer()) bad(pointer, "should be an integer");
    return v.get<std::int64_t>();
  }
  double finite(const std::string& pointer) const {
    const json& v = at(pointer);
    if (!v.is_number() || !std::isfinite(v.get<double>()))
      bad(pointer, v.is_null() ? "is not finite (null): the run gave no usable estimate" : "should be a number");
    return v.get<double>();
  }
  // An array of `count` finite numbers.
  template <class Array>
  void numbers(const std::string& pointer, int count, Array& out) const {
    const json& v = at(pointer);
    if (!v.is_array() || static_cast<int>(v.size()) != count)
      bad(pointer, "should be an array of " + std::to_string(count) + " numbers");
    for (int k = 0; k < count; ++k) out[static_cast<std::size_t>(k)] = finite(pointer + "/" + std::to_string(k));
  }
  // An array of the given names.
  template <class Names>
  void names(const std::string& pointer, int count, const Names& expected, int model) const {
    const json& v = at(pointer);
    bool same = v.is_array() && static_cast<int>(v.size()) == count;
    for (int k = 0; same && k < count; ++k)
      same = v[static_cast<std::size_t>(k)] == std::string(expected[static_cast<std::size_t>(k)]);
    if (!same) bad(pointer, "does not name the parameters of model " + std::to_string(model) + " (" + v.dump() + ")");
  }
  [[noreturn]] void bad(const std::string& pointer, const std::string& what) const {
    io::fail("results file '" + path_ + "': \"" + pointer + "\" " + what);
  }

 private:
  const json& root_;
  const std::string& path_;
};

json parse(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) io::fail("cannot open the results file '" + path + "': " + std::strerror(errno));
  try {
    return json::parse(in);
  } catch (const json::exception& e) {
    io::fail("results file '" + path + "' is not JSON: " + e.what());
  }
}

std::string fingerprint(const Reader& r, const std::string& pointer) {
  std::string s = r.text(pointer);
  if (s.size() != 16 || s.find_first_not_of("0123456789abcdef") != std::string::npos)
    r.bad(pointer, "should be 16 hexadecimal digits");
  return s;
}

// A name the results file gives, or empty: the names only help messages.
std::string optional_text(const json& root, const std::string& pointer) {
  const json::json_pointer p(pointer);
  return root.contains(p) && root.at(p).is_string() ? root.at(p).get<std::string>() : std::string();
}

}  // namespace

RunResults read_run_results(const std::string& path) {
  const json root = parse(path);
  const Reader r(root, path);
  if (!root.is_object() || !root.contains("program") || root["program"] != "estimator")
    io::fail("results file '" + path + "' is not a results file of estimator (no \"program\": \"estimator\")");
  RunResults run;
  run.title = r.text("/title");
  run.outcome = r.text("/outcome");
  const std::int64_t model = r.integer("/model/number");
  if (!model::valid_model(static_cast<int>(model)))
    r.bad("/model/number", "should be 1 to " + std::to_string(model::kModelCount));
  std::array<double, 2> constants{};
  r.numbers("/model/constants", 2, constants);
  run.esde = model::Esde{.k1 = constants[0], .k2 = constants[1], .model = static_cast<int>(model)};
  const auto counts = model::model_counts(run.esde.model);
  const auto& names = model::model_names(run.esde.model);
  run.ng = counts.ng;
  run.nl = counts.nl;
  r.names("/model/globals", run.ng, names.globals, run.esde.model);
  r.names("/model/locals", run.nl, names.locals, run.esde.model);
  r.names("/globals/names", run.ng, names.globals, run.esde.model);
  r.numbers("/globals/estimates", run.ng, run.globals);
  r.numbers("/local_averages/estimates", run.nl, run.local_averages);
  run.plots = r.integer("/plots");
  run.measurements = r.integer("/measurements");
  if (run.plots < 1) r.bad("/plots", "should be at least 1");
  run.data_fingerprint = fingerprint(r, "/fingerprints/data");
  run.locals_fingerprint = fingerprint(r, "/fingerprints/locals");
  run.data_file = optional_text(root, "/files/data");
  run.locals_file = optional_text(root, "/files/locals");
  return run;
}

}  // namespace projector
