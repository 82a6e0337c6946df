// The command line of a program: positional file names, then options.
//
// Every program answers --help (or -h) with its help text on standard output
// and --version with its version, both with status 0. A wrong call (a missing
// or extra argument, an unknown option, an option without its value) ends
// with the problem and the usage on the error stream and status 2.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace io {

struct OptionInterface {
  std::string name;  // "--json"
  bool takes_value = true;
};

struct ProgramInterface {
  std::string program;                   // "estimator"
  std::string usage;                     // one-line synopsis after "usage: "
  std::string help;                      // full help text (arguments, options, environment, exit statuses)
  std::vector<std::string> positionals;  // what each positional argument is, e.g. "control file"
  int required = 0;                      // how many of them must be given
  std::vector<OptionInterface> options;
};

// Version of the programs, e.g. "1.1.0".
const char* version();

class CommandLine {
 public:
  // Throws Stop{0} after --help or --version, IoError (status 2) on a wrong call.
  CommandLine(int argc, char** argv, const ProgramInterface& interface);

  // Positional argument k (from 1), trailing blanks removed; a missing or empty
  // one is a wrong call naming what it is.
  std::string file(int k) const;
  bool has_file(int k) const { return k <= static_cast<int>(positionals_.size()); }
  std::optional<std::string> option(const std::string& name) const;
  bool flag(const std::string& name) const { return option(name).has_value(); }

  // Ends the run as a wrong call: the problem, then the usage.
  [[noreturn]] void wrong_call(const std::string& problem) const;

 private:
  void take_positional(const std::string& arg);
  // The option at argv[k] and its value; returns the position of the last word used.
  int take_option(int k, int argc, char** argv);

  const ProgramInterface& interface_;
  std::vector<std::string> positionals_;
  std::map<std::string, std::string> options_;
};

}  // namespace io
