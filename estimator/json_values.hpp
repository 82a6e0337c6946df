// The pieces the estimator's results files (JSON) are built of, shared by the
// fixed-locals and the random-locals writers.
#pragma once

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "model/model_table.hpp"

namespace estimator::json_values {

using Json = nlohmann::ordered_json;

// A number, or null where the arithmetic gave no finite value.
inline Json number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

inline Json vector_of(const double* v, int count) {
  Json a = Json::array();
  for (int i = 0; i < count; ++i) a.push_back(number(v[i]));
  return a;
}

// Rows of a matrix stored row by row with the given leading dimension.
inline Json matrix_of(const double* m, int rows, int columns, int leading) {
  Json a = Json::array();
  for (int i = 0; i < rows; ++i) a.push_back(vector_of(m + i * leading, columns));
  return a;
}

// The names of the model's globals, or of its locals.
inline Json names_of(int model, bool globals) {
  const model::ModelNames& names = model::model_names(model);
  const model::ModelCounts counts = model::model_counts(model);
  Json a = Json::array();
  const int count = globals ? counts.ng : counts.nl;
  for (int i = 0; i < count; ++i)
    a.push_back(
        std::string(globals ? names.globals[static_cast<std::size_t>(i)] : names.locals[static_cast<std::size_t>(i)]));
  return a;
}

// The run's title without the blanks that fill it to its 80 characters.
inline std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace estimator::json_values
