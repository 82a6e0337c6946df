// The plain path: one plot at a time in ordinary doubles. The operations are
// the ones the lane math and the kernels are written with; the AVX2 path
// defines the same names on vectors of four doubles (avx2_lanes.hpp).
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace model::lanes::plain {

using Lane = double;
using Bits = std::uint64_t;
using Mask = bool;
inline constexpr int kWidth = 1;

inline Bits to_bits(Lane x) { return std::bit_cast<Bits>(x); }
inline Lane from_bits(Bits u) { return std::bit_cast<Lane>(u); }
inline Lane select(Mask m, Lane yes, Lane no) { return m ? yes : no; }
inline Mask mask_select(Mask m, Mask yes, Mask no) { return m ? yes : no; }
inline bool all(Mask m) { return m; }

// A value from kWidth doubles, and back.
inline Lane load(const double* values) { return values[0]; }
inline Lane make(const std::array<double, kWidth>& v) { return v[0]; }
inline void store(Lane x, double* values) { values[0] = x; }

}  // namespace model::lanes::plain
