// Differential check of the G editing against libf2c's formatted internal
// write. The stock libf2c leaves out the 0 before the decimal point; our
// output keeps it when the field has room, so that one difference is
// normalised away before comparing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "io/edit.hpp"

extern "C" {
struct F2cInternalList {
  std::int32_t icierr;
  char* iciunit;
  std::int32_t iciend;
  char* icifmt;
  std::int32_t icirlen;
  std::int32_t icirnum;
};
int s_wsfi(F2cInternalList*);
int do_fio(std::int32_t*, char*, std::int32_t);
int e_wsfi();
int MAIN__() { return 0; }
}

namespace {

std::string f2c_g(double value, int w, int d) {
  char fmt[32];
  std::snprintf(fmt, sizeof fmt, "(G%d.%d)", w, d);
  std::string unit(static_cast<std::size_t>(w), '?');
  F2cInternalList list{0, unit.data(), 0, fmt, w, 1};
  std::int32_t one = 1;
  s_wsfi(&list);
  do_fio(&one, reinterpret_cast<char*>(&value), sizeof(double));
  e_wsfi();
  return unit;
}

// Our text with the leading 0 taken out the way libf2c leaves it out.
std::string without_lead_zero(std::string s) {
  const std::size_t p = s.find_first_not_of(" -");
  if (p != std::string::npos && p + 2 < s.size() && s[p] == '0' && s[p + 1] == '.' && s[p + 2] >= '0' &&
      s[p + 2] <= '9') {
    s.erase(p, 1);
    s.insert(0, 1, ' ');
  }
  return s;
}

void expect_same(double v, int w, int d) {
  std::string ours;
  io::edit_g(ours, v, w, d);
  ASSERT_EQ(without_lead_zero(ours), f2c_g(v, w, d)) << "value " << v << " in G" << w << "." << d;
}

const int kFields[][2] = {{9, 1}, {11, 5}, {13, 6}, {14, 7}, {15, 7}, {18, 11}, {20, 11}};

TEST(GAgainstLibf2c, BoundaryValues) {
  const double values[] = {0.0,
                           0.1,
                           0.09999999999999999,
                           0.1000000000000001,
                           1.0,
                           9.5,
                           9.99999,
                           99999.5,
                           999999.5,
                           1e5,
                           1e6,
                           1e7,
                           1e11,
                           99999999999.5,
                           0.099995,
                           0.0999995,
                           0.05,
                           1e-5,
                           1e-99,
                           1e-100,
                           1e99,
                           1e100,
                           9.9999e99,
                           1e300,
                           1e-300,
                           5e-324,
                           1.7e308,
                           0.5,
                           0.25,
                           0.125,
                           2.5,
                           1234567.0,
                           0.123456789,
                           12.345678901234};
  for (const auto& f : kFields) {
    for (double v : values) {
      expect_same(v, f[0], f[1]);
      expect_same(-v, f[0], f[1]);
    }
    expect_same(INFINITY, f[0], f[1]);
    expect_same(std::nan(""), f[0], f[1]);  // our NaN never carries a sign
    expect_same(-INFINITY, f[0], f[1]);
  }
}

TEST(GAgainstLibf2c, RandomValuesOverAllMagnitudes) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::uniform_int_distribution<int> decimals(0, 12);
  for (int k = 0; k < 200000; ++k) {
    double v = mantissa(rng) * std::pow(10.0, exponent(rng));
    if (k % 3 == 0) v = std::round(v * std::pow(10.0, decimals(rng))) / std::pow(10.0, decimals(rng));  // near ties
    const auto& f = kFields[static_cast<std::size_t>(k) % std::size(kFields)];
    expect_same(v, f[0], f[1]);
  }
}

}  // namespace

// libf2c brings a main of its own; this one must win.
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
