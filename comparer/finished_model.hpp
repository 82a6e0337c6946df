// The record a model's folder gets when its run is complete ("row.json"): the
// model's row of the comparison table and the inputs it was fitted from. A
// comparer run again on the same folder keeps a model whose record matches
// its inputs, and redoes every other.
#pragma once

#include <optional>
#include <string>

#include "comparer/model_row.hpp"
#include "comparer/model_run.hpp"

namespace comparer {

inline constexpr const char* kFinishedRecord = "row.json";

// What the model's fit depends on: the plot files (name, size, time of the
// last change) and the settings passed to the starter and the estimator,
// among them the mode of the locals (fixed or random, and the quadrature), so
// that a resumed run never mixes the rows of the two modes.
std::string inputs_key(const RunSettings& settings);

void write_finished(const std::string& path, const ModelRow& row, const std::string& key);

// The row, when `path` holds a complete record made from inputs `key`.
std::optional<ModelRow> read_finished(const std::string& path, const std::string& key);

}  // namespace comparer
