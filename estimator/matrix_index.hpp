// Index arithmetic of the matrices of the optimiser and the report: the
// packed and column-by-column layouts of the model library, and the square
// array the inverses are written into.
#pragma once

#include <array>
#include <cstddef>

#include "common/limits.hpp"
#include "model/matrix_index.hpp"

namespace estimator {

using model::column_major;
using model::packed;

// Inverses are written into a square array of the largest order, the number
// of globals at its limit, column by column.
inline constexpr int kInverseOrder = common::kMaxGlobals;
using InverseMatrix = std::array<double, kInverseOrder * kInverseOrder>;

constexpr std::size_t inverse_at(int i, int j) { return column_major(i, j, kInverseOrder); }

}  // namespace estimator
