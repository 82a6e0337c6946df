// Format-directed output. A Format is built once from a format literal such as
// "(1H ,I12,I4,6G20.11)" and then writes lists of items into text lines.
//
// Descriptors: nHtext, nX, [r]Iw, [r]A, [r]Aw, [r]Gw.d, "/", and [r](...)
// groups. Output stops at the first data descriptor for which no item is left,
// or at the end of the format when no item is left. When items remain at the
// end of the format, output goes on in a new line from the last top-level
// group (with its repeat count), or from the beginning if there is none.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace io {

struct Item {
  enum class Kind { integer, real, text };
  Kind kind;
  long long integer = 0;
  double real = 0.0;
  std::string_view text;
};

// A short list of output items, held without allocation.
class Items {
 public:
  static constexpr std::size_t kCapacity = 48;

  Items() = default;
  Items& i(long long v);
  Items& r(double v);
  Items& a(std::string_view v);
  Items& reals(std::span<const double> v);
  // Text cut into pieces of `width` characters, as "20A4" expects for a title.
  Items& chunks(std::string_view v, std::size_t width);

  std::span<const Item> view() const { return {items_.data(), count_}; }

 private:
  Items& push(const Item& item);
  std::array<Item, kCapacity> items_{};
  std::size_t count_ = 0;
};

class Format {
 public:
  explicit Format(std::string_view literal);

  // Appends the lines the items make, each ended by '\n'.
  void write(std::string& out, std::span<const Item> items) const;
  void write(std::string& out, const Items& items) const { write(out, items.view()); }

  struct Node {
    enum class Kind { hollerith, blanks, integer, text, real, slash, group };
    Kind kind;
    int repeat = 1;
    int w = -1;
    int d = 0;
    std::string literal;
    std::vector<Node> children;
  };

 private:
  std::vector<Node> nodes_;
  std::size_t reversion_ = 0;  // index in nodes_ where reversion starts
  bool reversion_has_data_ = false;
};

}  // namespace io
