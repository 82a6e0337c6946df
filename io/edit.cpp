#include "io/edit.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace io {
namespace {

void stars(std::string& out, int w) { out.append(static_cast<std::size_t>(w > 0 ? w : 0), '*'); }

void blanks(std::string& out, int n) {
  if (n > 0) out.append(static_cast<std::size_t>(n), ' ');
}

// Text of a value that is not a number: the same on every machine, whatever
// the sign bit the hardware gave it.
constexpr std::string_view kNaN = "nan";

// printf into a buffer large enough for any width and precision a format
// may ask for: on the stack for ordinary fields, on the heap beyond.
class Printed {
 public:
  Printed(const char* format, int precision, double value) {
    n_ = std::snprintf(small_, sizeof small_, format, precision, value);
    if (n_ >= static_cast<int>(sizeof small_)) {
      large_.resize(static_cast<std::size_t>(n_) + 1);
      std::snprintf(large_.data(), large_.size(), format, precision, value);
    }
  }
  const char* text() const { return large_.empty() ? small_ : large_.data(); }
  int size() const { return n_; }

 private:
  char small_[128];
  std::string large_;
  int n_ = 0;
};

}  // namespace

void edit_i(std::string& out, long long value, int w) {
  char buf[32];
  const int n = std::snprintf(buf, sizeof buf, "%lld", value);
  if (n > w) {
    stars(out, w);
    return;
  }
  blanks(out, w - n);
  out.append(buf, static_cast<std::size_t>(n));
}

void edit_a(std::string& out, std::string_view text, int w) {
  if (w < 0) {
    out.append(text);
  } else if (static_cast<std::size_t>(w) >= text.size()) {
    blanks(out, w - static_cast<int>(text.size()));
    out.append(text);
  } else {
    out.append(text.substr(0, static_cast<std::size_t>(w)));
  }
}

// Fixed point: the value rounded to d decimals, right-aligned. A value below 1
// in magnitude keeps its 0 before the point unless the field is one character
// too narrow for it; a negative value that rounds to zero loses its sign.
void edit_f(std::string& out, double value, int w, int d) {
  if (std::isnan(value)) {
    if (static_cast<int>(kNaN.size()) > w) return stars(out, w);
    blanks(out, w - static_cast<int>(kNaN.size()));
    out.append(kNaN);
    return;
  }
  bool negative = value < 0.0;
  const double magnitude = negative ? -value : (value == 0.0 ? 0.0 : value);
  const Printed printed("%#.*f", d, magnitude);
  const char* buf = printed.text();
  int n = printed.size();
  if (n < 0) return stars(out, w);
  const char* b = buf;
  if (negative) {
    negative = std::strspn(buf, "0.") != static_cast<std::size_t>(n);
  }
  if (negative) ++n;
  if (n > w) {
    if (buf[0] == '0' && n - 1 == w) {
      ++b;
      --n;
    } else {
      return stars(out, w);
    }
  }
  blanks(out, w - n);
  if (negative) out += '-';
  out.append(b);
}

// Exponent form with d significant digits: [-]0.ddddE+xx. Three-digit
// exponents drop the E ("0.10000+101"). The 0 before the point is left out
// when the field is one character too narrow for it.
void edit_e(std::string& out, double value, int w, int d) {
  bool negative = value < 0.0;
  double magnitude = negative ? -value : value;
  if (std::isnan(value)) {
    if (static_cast<int>(kNaN.size()) > w) return stars(out, w);
    blanks(out, w - static_cast<int>(kNaN.size()));
    out.append(kNaN);
    return;
  }
  if (magnitude == 0.0) magnitude = 0.0;
  const int sign_space = negative ? 1 : 0;
  const int decimals = d - 1;  // digits after the first in the %e text
  int delta = w - (2 + 2 + sign_space + decimals + 2);
  bool lead_zero = false;
  if (delta > 0) {
    --delta;
    lead_zero = true;
  } else if (delta < 0 || decimals < 0) {
    return stars(out, w);
  }
  if (std::isinf(magnitude)) {
    const int n = 3 + sign_space;
    if (n > w) return stars(out, w);
    blanks(out, w - n);
    if (negative) out += '-';
    out.append("INF");
    return;
  }
  const Printed printed("%#.*e", decimals, magnitude);
  const char* buf = printed.text();
  const char* e = std::strchr(buf, 'e');
  const int exponent = magnitude == 0.0 ? 0 : std::atoi(e + 1) + 1;
  char expo[16];
  if (exponent <= -100 || exponent >= 100) {
    std::snprintf(expo, sizeof expo, "%+d", exponent);
  } else {
    std::snprintf(expo, sizeof expo, "E%+.2d", exponent);
  }
  blanks(out, delta);
  if (negative) out += '-';
  if (lead_zero) out += '0';
  out += '.';
  out += buf[0];
  out.append(buf + 2, static_cast<std::size_t>(e - (buf + 2)));
  out.append(expo);
}

// Fixed point in w-4 columns plus four blanks when the value is 0 or
// 0.1 <= |value| < 10^d (decided on the unrounded value); exponent form otherwise.
void edit_g(std::string& out, double value, int w, int d) {
  const double magnitude = std::fabs(value);
  int digits_before_point = 0;
  if (magnitude < 0.1) {
    if (magnitude != 0.0) return edit_e(out, value, w, d);
    digits_before_point = 1;
  } else {
    double up = 1.0;
    while (digits_before_point <= d && magnitude >= up) {
      ++digits_before_point;
      up *= 10.0;
    }
    if (digits_before_point > d) return edit_e(out, value, w, d);
  }
  edit_f(out, value, w - 4, d - digits_before_point);
  blanks(out, 4);
}

}  // namespace io
