#include "comparer/finished_model.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

#include "io/text_writer.hpp"

namespace comparer {
namespace {

std::string file_key(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return path + " missing";
  return path + " " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec);
}

nlohmann::json number(double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(nullptr); }

double number(const nlohmann::json& v) { return v.is_number() ? v.get<double>() : NAN; }

}  // namespace

std::string inputs_key(const RunSettings& s) {
  char constants[128];
  std::snprintf(constants, sizeof constants, "k1 %.17g k2 %.17g limit %d locals %s quadrature %d", s.k1, s.k2,
                s.iteration_limit, s.random_locals ? "random" : "fixed", s.quadrature);
  return file_key(s.data) + "; " + file_key(s.locals) + "; " + constants;
}

void write_finished(const std::string& path, const ModelRow& row, const std::string& key) {
  const nlohmann::json record = {{"inputs", key},
                                 {"model", row.model},
                                 {"outcome", row.outcome},
                                 {"log_likelihood", number(row.log_likelihood)},
                                 {"parameters", row.parameters},
                                 {"aic", number(row.aic)},
                                 {"bic", number(row.bic)},
                                 {"iterations", row.iterations},
                                 {"seconds", row.seconds},
                                 {"flag", row.flag}};
  io::TextWriter out(path, "record of a finished model");
  out.put(record.dump(1) + "\n");
  out.commit();
}

std::optional<ModelRow> read_finished(const std::string& path, const std::string& key) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  const nlohmann::json record = nlohmann::json::parse(in, nullptr, false);
  if (record.is_discarded() || !record.is_object()) return std::nullopt;
  try {
    if (record.value("inputs", "") != key) return std::nullopt;  // throws when "inputs" is not a string
    ModelRow row;
    row.model = record.at("model");
    row.outcome = record.at("outcome");
    row.log_likelihood = number(record.at("log_likelihood"));
    row.parameters = record.at("parameters");
    row.aic = number(record.at("aic"));
    row.bic = number(record.at("bic"));
    row.iterations = record.at("iterations");
    row.seconds = record.at("seconds");
    row.flag = record.at("flag");
    return row;
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

}  // namespace comparer
