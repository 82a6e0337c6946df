// The command line of a program: positional file names, then options.
//
// Each program describes its command line in one table (ProgramInterface):
// the arguments and options it accepts, with the help of each. The table
// yields the parsing, the usage shown on a wrong call and the help text.
//
// Every program answers --help (or -h) with its help text on standard output
// and --version with its version, both with status 0. A wrong call (a missing
// or extra argument, an unknown option, an option without its value) ends
// with the problem and the usage on the error stream and status 2.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace io {

// Help texts are lines separated by '\n'; the help lists each row as its
// label, then its text from the table's column on (on the next line when the
// label reaches the column), later lines of the text at the column.
struct Argument {
  std::string label;  // "CONTROL"
  std::string what;   // "control file", in messages
  std::string help;
};

struct Option {
  Option(std::string name, std::string value, std::string help, bool required = false, std::string within = "")
      : name(std::move(name)), value(std::move(value)), help(std::move(help)), required(required),
        within(std::move(within)) {}

  std::string name;   // "--json"
  std::string value;  // "FILE"; empty: a flag, which takes no value
  // Empty: the option shares the help row of the next one ("--k1 X, --k2 X"),
  // and the two go together in the usage ("[--k1 X --k2 X]").
  std::string help;
  bool required;  // shown without brackets in the usage
  // An option this one goes with: the usage shows it inside that one's
  // brackets ("[--random-locals [--quadrature K]]").
  std::string within;
};

struct OptionGroup {
  std::string heading;  // "Options"
  std::vector<Option> options;
};

// The usage (the synopsis after "usage: ") is made from the table: the
// program, the arguments (the optional ones in brackets), every option, and
// the standard input the program reads, if any.
struct ProgramInterface {
  std::string program;                     // "estimator"
  std::string input;                       // what it reads on standard input: "ANSWERS"; empty: nothing
  std::string description;                 // the paragraphs after the usage line of the help
  std::vector<Argument> arguments;         // the positional arguments, in order
  int required = 0;                        // how many of them must be given
  std::vector<OptionGroup> option_groups;  // the last group also lists --help and --version
  std::string epilogue;                    // the paragraphs after the options (environment, exit statuses)
  int column = 0;                          // width of the labels' column, after the indent of two
};

// Version of the programs, e.g. "1.1.0".
const char* version();

// The synopsis after "usage: ", wrapped to lines of at most 80 characters.
std::string usage_text(const ProgramInterface& interface);

// The help text of --help.
std::string help_text(const ProgramInterface& interface);

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
