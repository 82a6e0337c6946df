// exp, log and pow in lanes. They use IEEE additions, subtractions,
// multiplications and divisions, comparisons, blends and exact bit operations
// only, in the same order on every path, so a lane's result depends on
// nothing but its own argument: not on its neighbours, its position or the
// processor.
//
// exp and log are fdlibm's algorithms (error below one unit in the last
// place). pow(x, y) is exp(y ln|x|) with the special cases of the C library;
// its error grows with |y ln x|, to at most about 2 + 4 |y ln x| units in the
// last place (a few units for the powers of heights the objective takes).
//
// Included by a path's kernel file once GROWTH_LANES names the path.
#ifndef GROWTH_LANES
#error "GROWTH_LANES must name the path (plain or avx2) before this file is included"
#endif
#pragma once

#include <cstdint>
#include <limits>

namespace model::lanes::GROWTH_LANES::math {

inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ln 2 split so that k * kLn2Hi is exact for |k| < 2^20.
inline constexpr double kLn2Hi = 6.93147180369123816490e-01;
inline constexpr double kLn2Lo = 1.90821492927058770002e-10;
inline constexpr double kInvLn2 = 1.44269504088896338700e+00;

// 1.5 * 2^52: x + kShifter - kShifter rounds x (|x| < 2^51) to an integer k,
// and the bits of x + kShifter are those of kShifter plus k.
inline constexpr double kShifter = 0x1.8p52;
inline constexpr std::uint64_t kShifterBits = 0x4338000000000000;

inline Lane abs(const Lane& x) { return from_bits(to_bits(x) & Bits(0x7fffffffffffffff)); }

// 2^j for an integral j with -1022 <= j <= 1023.
inline Lane two_to(const Lane& j) {
  const Bits biased = to_bits(j + kShifter) + Bits(std::uint64_t{1023} - kShifterBits);  // j + 1023
  return from_bits(biased << 52);
}

// e^x = 2^k e^r with x = k ln2 + r, |r| <= ln2 / 2, and
//   e^r = 1 - ((lo - r c / (2 - c)) - hi),  c = r - r^2 (P1 + r^2 (P2 + ... + r^2 P5)).
// The scaling by 2^k is done as 2^k1 2^k2 so that results near overflow and
// in the subnormal range round once. Arguments are clamped to [-746, 710],
// beyond which the result is 0 or +inf anyway.
inline Lane exp(Lane x) {
  x = select(x > 710.0, Lane(710.0), x);
  x = select(x < -746.0, Lane(-746.0), x);
  const Lane k = (x * kInvLn2 + kShifter) - kShifter;
  const Lane hi = x - k * kLn2Hi;
  const Lane lo = k * kLn2Lo;
  const Lane r = hi - lo;
  const Lane t = r * r;
  const Lane c =
      r -
      t * (1.66666666666666019037e-01 +
           t * (-2.77777777770155933842e-03 +
                t * (6.61375632143793436117e-05 + t * (-1.65339022054652515390e-06 + t * 4.13813679705723846039e-08))));
  const Lane y = 1.0 - ((lo - (r * c) / (2.0 - c)) - hi);
  const Lane k1 = (k * 0.5 + kShifter) - kShifter;
  return y * two_to(k1) * two_to(k - k1);
}

// ln x = k ln2 + ln(1 + f), 1 + f in [sqrt(2)/2, sqrt(2)), with s = f / (2 + f):
//   ln(1 + f) = f - hfsq + s (hfsq + R(s^2)),  hfsq = f^2 / 2.
// Subnormal arguments are scaled by 2^54 first.
inline Lane log(const Lane& x) {
  const auto tiny = x < 0x1p-1022;
  const Lane xs = select(tiny, x * 0x1p54, x);
  const Bits bits = to_bits(xs);
  const Bits hx = (bits >> 32) + Bits(0x3ff00000 - 0x3fe6a09e);
  const Bits exponent = hx >> 20;  // biased exponent of the reduced argument
  const Lane m = from_bits((((hx & Bits(0x000fffff)) + Bits(0x3fe6a09e)) << 32) | (bits & Bits(0xffffffff)));
  const Lane k =
      (from_bits(exponent | Bits(0x4330000000000000)) - (0x1p52 + 1023.0)) - select(tiny, Lane(54.0), Lane(0.0));
  const Lane f = m - 1.0;
  const Lane hfsq = 0.5 * f * f;
  const Lane s = f / (2.0 + f);
  const Lane z = s * s;
  const Lane w = z * z;
  const Lane t1 = w * (3.999999999940941908e-01 + w * (2.222219843214978396e-01 + w * 1.531383769920937332e-01));
  const Lane t2 = z * (6.666666666666735130e-01 +
                       w * (2.857142874366239149e-01 + w * (1.818357216161805012e-01 + w * 1.479819860511658591e-01)));
  const Lane R = t2 + t1;
  Lane r = s * (hfsq + R) + k * kLn2Lo - hfsq + f + k * kLn2Hi;
  r = select(x == 0.0, Lane(-kInf), r);
  r = select(x == kInf, Lane(kInf), r);
  return select(x >= 0.0, r, Lane(kNaN));  // negative or not a number
}

// Integral values; every double of magnitude 2^52 or more is one.
inline Mask is_integer(const Lane& v) {
  const Lane a = abs(v);
  return (a >= 0x1p52) || ((a + 0x1p52) - 0x1p52 == a);
}

// What x^y needs to know of y beyond its value; the kernels find it once per
// plot, since every power of a plot has the exponent c.
struct Exponent {
  Lane y;
  Mask integer;   // y is integral (or infinite)
  Mask odd;       // y is an odd integer
  Mask zero;      // y = 0
  Mask infinite;  // |y| = inf
  bool ordinary;  // every lane finite and not 0
};

inline Exponent exponent(const Lane& y) {
  const Mask integer = is_integer(y);
  const Mask zero = y == 0.0, infinite = abs(y) == kInf;
  return {y, integer, integer && !is_integer(y * 0.5), zero, infinite, all(!zero && abs(y) < kInf)};
}

// x^y = e^(y ln|x|), given ln|x|, with the C library's results for a
// negative, zero or infinite x and for y = 0. When every x is positive and
// finite and every y finite and not 0, e^(y ln x) is all there is to it (and
// gives 1 for x = 1).
inline Lane pow_from_log(const Lane& x, const Lane& log_abs_x, const Exponent& e) {
  Lane r = exp(e.y * log_abs_x);
  if (e.ordinary && all(x > 0.0 && x < kInf)) return r;
  const Lane sign = from_bits((to_bits(x) & Bits(0x8000000000000000)) | to_bits(Lane(1.0)));
  r = select(sign < 0.0 && e.odd, -r, r);
  r = select(x < 0.0 && x > -kInf && !e.integer, Lane(kNaN), r);
  return select(e.zero || x == 1.0 || (x == -1.0 && e.infinite), Lane(1.0), r);
}

inline Lane pow(const Lane& x, const Lane& y) { return pow_from_log(x, log(abs(x)), exponent(y)); }

// ln x from ln|x|.
inline Lane log_from_log_abs(const Lane& x, const Lane& log_abs_x) { return select(x < 0.0, Lane(kNaN), log_abs_x); }

}  // namespace model::lanes::GROWTH_LANES::math
