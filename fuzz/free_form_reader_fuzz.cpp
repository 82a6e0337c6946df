// Free-form reading of arbitrary text: integers, reals and whole lines in an
// order the input itself chooses.
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "io/errors.hpp"
#include "io/free_form_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned plan = data[0];
  const std::string path =
      fuzz::write_file("text", std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  io::FreeFormReader in(path, "fuzzed file");
  for (int read = 0; read < 64; ++read) {
    const unsigned kind = (plan >> (read % 8)) & 3u;
    if (kind == 3) {
      std::string line;
      if (!in.line(line)) break;
      continue;
    }
    in.begin();
    bool stop = false;
    for (int v = 0; v < 1 + read % 5 && !stop; ++v) {
      io::FreeFormReader::Status s;
      if (kind == 0) {
        int i = 0;
        s = in.next(i, "an integer");
      } else {
        double x = 0.0;
        s = in.next(x, "a real");
      }
      if (s == io::FreeFormReader::Status::end_of_file) return 0;
      stop = s != io::FreeFormReader::Status::ok;
      if (stop) (void)in.failure();
    }
  }
  return 0;
}
