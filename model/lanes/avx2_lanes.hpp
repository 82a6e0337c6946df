// The AVX2 path: four plots side by side in the lanes of a 256-bit vector.
// Only additions, subtractions, multiplications, divisions, comparisons,
// blends and integer bit operations are used, never fused multiply-adds (this
// file is compiled with -mavx2 and without -mfma), so each lane gives the
// bits the plain path gives for the same plot.
#pragma once

#include <xsimd/xsimd.hpp>

#include <array>
#include <cstdint>

namespace model::lanes::avx2 {

using Lane = xsimd::batch<double, xsimd::avx2>;
using Bits = xsimd::batch<std::uint64_t, xsimd::avx2>;
using Mask = Lane::batch_bool_type;
inline constexpr int kWidth = static_cast<int>(Lane::size);

inline Bits to_bits(const Lane& x) { return xsimd::bitwise_cast<Bits>(x); }
inline Lane from_bits(const Bits& u) { return xsimd::bitwise_cast<Lane>(u); }
inline Lane select(const Mask& m, const Lane& yes, const Lane& no) { return xsimd::select(m, yes, no); }
inline Mask mask_select(const Mask& m, const Mask& yes, const Mask& no) { return (m && yes) || (!m && no); }
inline bool all(const Mask& m) { return xsimd::all(m); }

inline Lane load(const double* values) { return Lane::load_unaligned(values); }
// A value from four doubles held in registers (no round trip through memory).
inline Lane make(const std::array<double, kWidth>& v) { return _mm256_setr_pd(v[0], v[1], v[2], v[3]); }
inline void store(const Lane& x, double* values) { x.store_unaligned(values); }

}  // namespace model::lanes::avx2
