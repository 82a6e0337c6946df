// The format interpreter and the field editors on arbitrary literals, items,
// widths and values.
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "io/edit.hpp"
#include "io/format.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Field editors: width, digits and a double from the first bytes.
  if (size >= 10) {
    double v = 0.0;
    std::memcpy(&v, data + 2, sizeof v);
    const int w = data[0] % 48;
    const int d = data[1] % 24;
    std::string out;
    io::edit_g(out, v, w, d);
    io::edit_e(out, v, w, d);
    io::edit_f(out, v, w, d);
    io::edit_i(
        out, static_cast<long long>(static_cast<std::int32_t>(data[2] | data[3] << 8 | data[4] << 16 | data[5] << 24)),
        w);
  }
  // A literal up to the first newline, then items.
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t nl = all.find('\n');
  if (nl == std::string_view::npos) return 0;
  try {
    const io::Format format(all.substr(0, nl));
    io::Items items;
    std::string_view rest = all.substr(nl + 1);
    while (rest.size() >= 9) {
      const unsigned kind = static_cast<unsigned char>(rest[0]) % 3;
      double v = 0.0;
      std::memcpy(&v, rest.data() + 1, sizeof v);
      if (kind == 0) items.i(static_cast<long long>(static_cast<std::int32_t>(rest[1])));
      if (kind == 1) items.r(v);
      if (kind == 2) items.a(rest.substr(1, 8));
      rest.remove_prefix(9);
      if (items.view().size() == io::Items::kCapacity) break;
    }
    std::string out;
    format.write(out, items);
  } catch (const std::logic_error&) {
    // A malformed literal, or an item of the wrong kind: refused, not crashed.
  }
  return 0;
}
