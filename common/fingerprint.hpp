// Fingerprints that tie a results file to the plot files of its run: a 64-bit
// FNV-1a hash over the little-endian bytes of
//   data file:   every plot's identifier (i32), n (i32), then its n pairs of
//                scaled age and height (f64 each), plots 1 .. NP in order;
//   local file:  every record's identifier (i32) and its nl locals (f64),
//                records 1 .. NP in order.
// Written as 16 lower-case hexadecimal digits.
#pragma once

#include <cstdint>
#include <string>

#include "io/byte_order.hpp"

namespace common {

class Fingerprint {
 public:
  void add_i32(std::int32_t v) {
    unsigned char b[4];
    io::store_i32(b, v);
    add(b, 4);
  }
  void add_f64(double v) {
    unsigned char b[8];
    io::store_f64(b, v);
    add(b, 8);
  }
  // A plot of the data file.
  void add_plot(std::int32_t id, int n, const double* ages, const double* heights) {
    add_i32(id);
    add_i32(n);
    for (int i = 0; i < n; ++i) {
      add_f64(ages[i]);
      add_f64(heights[i]);
    }
  }
  // A record of the local-parameter file.
  void add_record(std::int32_t id, int nl, const double* locals) {
    add_i32(id);
    for (int i = 0; i < nl; ++i) add_f64(locals[i]);
  }
  std::string hex() const {
    static const char digits[] = "0123456789abcdef";
    std::string s(16, '0');
    for (int i = 0; i < 16; ++i) s[static_cast<std::size_t>(15 - i)] = digits[(hash_ >> (4 * i)) & 0xf];
    return s;
  }

 private:
  void add(const unsigned char* p, int count) {
    for (int i = 0; i < count; ++i) hash_ = (hash_ ^ p[i]) * 0x100000001b3ULL;
  }
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace common
