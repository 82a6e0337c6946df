// Numbered units: the files a program opens are reached by small unit
// numbers, as the shared record of units in the estimator names them.
// Unit 5 is standard input, unit 6 standard output (the console).
#pragma once

#include <array>
#include <memory>
#include <string>

#include "io/binary_file.hpp"
#include "io/free_form_reader.hpp"
#include "io/text_writer.hpp"

namespace io {

inline constexpr int kStandardInput = 5;
inline constexpr int kConsole = 6;
inline constexpr int kMaxUnit = 9;

void open_text_in(int unit, const std::string& path, std::string role);
void open_text_out(int unit, const std::string& path, std::string role);
void open_sequential_in(int unit, const std::string& path, std::string role);
void open_sequential_out(int unit, const std::string& path, std::string role);
void open_direct(int unit, const std::string& path, std::string role, int record_length, DirectAccessFile::Mode mode);

FreeFormReader& text_in(int unit);
TextWriter& text_out(int unit);
SequentialWriter& sequential_out(int unit);

namespace detail {
extern std::array<std::unique_ptr<SequentialReader>, kMaxUnit + 1> sequential_inputs;
extern std::array<std::unique_ptr<DirectAccessFile>, kMaxUnit + 1> direct_files;
[[noreturn]] void no_file_on(int unit);
}  // namespace detail

// The plot files are reached for every plot of every pass: these two lookups
// are inline.
inline SequentialReader& sequential_in(int unit) {
  if (unit < 1 || unit > kMaxUnit || !detail::sequential_inputs[static_cast<std::size_t>(unit)]) detail::no_file_on(unit);
  return *detail::sequential_inputs[static_cast<std::size_t>(unit)];
}
inline DirectAccessFile& direct(int unit) {
  if (unit < 1 || unit > kMaxUnit || !detail::direct_files[static_cast<std::size_t>(unit)]) detail::no_file_on(unit);
  return *detail::direct_files[static_cast<std::size_t>(unit)];
}

// Closes every file opened on a unit (uncommitted text files are dropped).
void close_units();

}  // namespace io
