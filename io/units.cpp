#include "io/units.hpp"

#include <array>
#include <cstdio>
#include <stdexcept>

namespace io {
namespace {

template <class T>
using Table = std::array<std::unique_ptr<T>, kMaxUnit + 1>;

Table<FreeFormReader> text_inputs;
Table<TextWriter> text_outputs;
Table<SequentialWriter> sequential_outputs;
using detail::direct_files;
using detail::sequential_inputs;

int checked(int unit) {
  if (unit < 1 || unit > kMaxUnit) throw std::logic_error("unit number out of range: " + std::to_string(unit));
  return unit;
}

template <class T>
T& lookup(Table<T>& table, int unit) {
  auto& slot = table[static_cast<std::size_t>(checked(unit))];
  if (!slot) throw std::logic_error("no file is open on unit " + std::to_string(unit));
  return *slot;
}

}  // namespace

namespace detail {
Table<SequentialReader> sequential_inputs;
Table<DirectAccessFile> direct_files;
void no_file_on(int unit) { throw std::logic_error("no file is open on unit " + std::to_string(unit)); }
}  // namespace detail

void open_text_in(int unit, const std::string& path, std::string role) {
  text_inputs[static_cast<std::size_t>(checked(unit))] = std::make_unique<FreeFormReader>(path, std::move(role));
}
void open_text_out(int unit, const std::string& path, std::string role) {
  text_outputs[static_cast<std::size_t>(checked(unit))] = std::make_unique<TextWriter>(path, std::move(role));
}
void open_sequential_in(int unit, const std::string& path, std::string role) {
  sequential_inputs[static_cast<std::size_t>(checked(unit))] = std::make_unique<SequentialReader>(path, std::move(role));
}
void open_sequential_out(int unit, const std::string& path, std::string role) {
  sequential_outputs[static_cast<std::size_t>(checked(unit))] = std::make_unique<SequentialWriter>(path, std::move(role));
}
void open_direct(int unit, const std::string& path, std::string role, int record_length, DirectAccessFile::Mode mode) {
  direct_files[static_cast<std::size_t>(checked(unit))] =
      std::make_unique<DirectAccessFile>(path, std::move(role), record_length, mode);
}

FreeFormReader& text_in(int unit) {
  if (unit == kStandardInput && !text_inputs[kStandardInput])
    text_inputs[kStandardInput] = std::make_unique<FreeFormReader>(stdin, "standard input");
  return lookup(text_inputs, unit);
}
TextWriter& text_out(int unit) { return unit == kConsole ? console() : lookup(text_outputs, unit); }
SequentialWriter& sequential_out(int unit) { return lookup(sequential_outputs, unit); }

void close_units() {
  for (auto& slot : text_inputs) slot.reset();
  for (auto& slot : text_outputs) slot.reset();
  for (auto& slot : sequential_inputs) slot.reset();
  for (auto& slot : sequential_outputs) slot.reset();
  for (auto& slot : direct_files) slot.reset();
}

}  // namespace io
