#include "io/errors.hpp"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "io/text_writer.hpp"

namespace io {

void fail(const std::string& message) { throw IoError(message); }

void stop_with(const std::string& console_message) {
  console().line(console_message);
  throw Stop{kExitDetectedError, ""};
}

void stop_with_diagnostic(const std::string& message) { throw Stop{kExitDetectedError, message}; }

int run_program(const char* program, int (*body)(int, char**), int argc, char** argv) {
  int status = 0;
  try {
    status = body(argc, argv);
  } catch (const Stop& stop) {
    status = stop.status;
    if (!stop.diagnostic.empty()) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s: %s\n", program, stop.diagnostic.c_str());
    }
  } catch (const IoError& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program, error.what());
    status = kExitIoFailure;
  } catch (const std::filesystem::filesystem_error& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: '%s': %s\n", program, error.path1().c_str(), error.code().message().c_str());
    status = kExitIoFailure;
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: internal error: %s\n", program, error.what());
    status = kExitIoFailure;
  }
  if (std::fflush(stdout) != 0 && status == 0) {
    std::fprintf(stderr, "%s: cannot write to standard output\n", program);
    status = kExitIoFailure;
  }
  return status;
}

std::string quoted(const std::string& token) {
  std::string out = "\"";
  for (unsigned char ch : token) {
    if (ch >= 32 && ch < 127) {
      out += static_cast<char>(ch);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", ch);
      out += buf;
    }
  }
  out += '"';
  return out;
}

}  // namespace io
