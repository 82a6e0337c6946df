// How the programs end when something goes wrong.
//
// Stop: an error the program detected and already reported on the console;
// the run ends in order with the given exit status.
// IoError: a failure of the I/O layer that the programs do not handle (missing
// file, unreadable number, file ending mid-read ...). The message names the
// file, the line or record and what was expected versus found; the program's
// main writes it to the error stream, prefixed with the program name.
#pragma once

#include <stdexcept>
#include <string>

namespace io {

inline constexpr int kExitDetectedError = 1;
inline constexpr int kExitIoFailure = 2;

struct Stop {
  int status;
  std::string diagnostic;  // written to the error stream when not empty
};

// The two ways to stop after a detected error (status 1): with a message on
// the console, the program's own text; or with a diagnostic on the error
// stream, where the console keeps only the program's own texts.
[[noreturn]] void stop_with(const std::string& console_message);
[[noreturn]] void stop_with_diagnostic(const std::string& message);

class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& message);

// Runs a program body, turning Stop and IoError into exit statuses; flushes
// the console before returning.
int run_program(const char* program, int (*body)(int, char**), int argc, char** argv);

// Quoted, printable form of a token for diagnostics.
std::string quoted(const std::string& token);

}  // namespace io
