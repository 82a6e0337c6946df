// Little-endian encoding of the 32-bit integers and IEEE doubles stored in
// the binary plot files, independent of the host's byte order.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace io {

inline void store_i32(unsigned char* p, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

inline std::int32_t load_i32(const unsigned char* p) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return static_cast<std::int32_t>(u);
}

inline void store_f64(unsigned char* p, double v) {
  const auto u = std::bit_cast<std::uint64_t>(v);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &u, 8);
  } else {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
  }
}

inline double load_f64(const unsigned char* p) {
  std::uint64_t u = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&u, p, 8);
  } else {
    for (int i = 0; i < 8; ++i) u |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  }
  return std::bit_cast<double>(u);
}

}  // namespace io
