// Index arithmetic of the packed and the column-by-column matrices that the
// models, the likelihood and the optimiser exchange.
//
// Packed triangle: a symmetric matrix of order n held as its lower triangle
// row by row, element (i, j), j <= i, counted from 1, at position
// i(i-1)/2 + j. Column by column: element (i, j), counted from 0, of a
// matrix with leading dimension ld at position i + ld j.
#pragma once

#include <cstddef>

namespace model {

// 0-based position of element (i, j) of a packed triangle, i and j from 1, in
// either order.
constexpr std::size_t packed(int i, int j) {
  const int hi = i > j ? i : j;
  const int lo = i > j ? j : i;
  return static_cast<std::size_t>(hi * (hi - 1) / 2 + lo - 1);
}

// 0-based position of element (i, j), both from 0, stored column by column.
constexpr std::size_t column_major(int i, int j, int ld) { return static_cast<std::size_t>(i + ld * j); }

}  // namespace model
