// Runs one of the project's programs as a separate process, with given
// arguments and standard input, and collects its output and exit status.
#pragma once

#include <string>
#include <vector>

struct ProgramResult {
  int status = -1;  // exit status; 128 + signal number when killed
  std::string out;
  std::string err;
};

// The program runs in the directory `cwd` when one is given, else in the test's.
ProgramResult run_program(const std::string& path, const std::vector<std::string>& args, const std::string& input = "",
                          const std::string& cwd = "");

// Starts the program, sends it `signal_number` (SIGKILL by default) after
// `seconds`, and returns its exit status (128 + the signal when it died of it).
int run_and_kill(const std::string& path, const std::vector<std::string>& args, double seconds, int signal_number = 9);

// Starts the program with its input and output on /dev/null; returns its process id.
int start_program(const std::string& path, const std::vector<std::string>& args);
// Sends a started program `signal_number` and returns its status as run_and_kill does.
int stop_program(int pid, int signal_number);

inline ProgramResult run_estimator(const std::vector<std::string>& args) { return run_program(ESTIMATOR_PATH, args); }
inline ProgramResult run_preparer(const std::vector<std::string>& args, const std::string& answers) {
  return run_program(PREPARER_PATH, args, answers);
}
