#include "io/command_line.hpp"

#include <cstdio>

#include "io/errors.hpp"

#ifndef GROWTH_VERSION
#define GROWTH_VERSION "unknown"
#endif

namespace io {

const char* version() { return GROWTH_VERSION; }

namespace {

bool is_option(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

}  // namespace

CommandLine::CommandLine(int argc, char** argv, const ProgramInterface& interface) : interface_(interface) {
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--help" || arg == "-h") {
      std::fputs(interface.help.c_str(), stdout);
      throw Stop{0, ""};
    }
    if (arg == "--version") {
      std::printf("%s (growthfit) %s\n", interface.program.c_str(), version());
      throw Stop{0, ""};
    }
  }
  for (int k = 1; k < argc; ++k) {
    if (is_option(argv[k]))
      k = take_option(k, argc, argv);
    else
      take_positional(argv[k]);
  }
  if (static_cast<int>(positionals_.size()) < interface.required) file(static_cast<int>(positionals_.size()) + 1);
}

void CommandLine::take_positional(const std::string& arg) {
  if (!options_.empty()) wrong_call("argument " + quoted(arg) + " after the options: file names come first");
  if (positionals_.size() == interface_.positionals.size())
    wrong_call("unexpected argument " + quoted(arg) + " (at most " + std::to_string(interface_.positionals.size()) +
               " file names)");
  positionals_.push_back(arg);
}

int CommandLine::take_option(int k, int argc, char** argv) {
  const std::string arg = argv[k];
  const OptionInterface* known = nullptr;
  for (const OptionInterface& o : interface_.options)
    if (o.name == arg) known = &o;
  if (known == nullptr) wrong_call("unknown option " + quoted(arg));
  if (options_.count(arg) != 0) wrong_call("option " + arg + " given twice");
  if (!known->takes_value) {
    options_[arg] = "";
    return k;
  }
  if (k + 1 >= argc || std::string(argv[k + 1]).empty()) wrong_call("option " + arg + " needs a value");
  options_[arg] = argv[k + 1];
  return k + 1;
}

std::string CommandLine::file(int k) const {
  const std::string& what = interface_.positionals[static_cast<std::size_t>(k - 1)];
  if (!has_file(k)) wrong_call("missing argument " + std::to_string(k) + ": the " + what);
  std::string name = positionals_[static_cast<std::size_t>(k - 1)];
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (name.empty()) wrong_call("argument " + std::to_string(k) + " (the " + what + ") is empty");
  return name;
}

std::optional<std::string> CommandLine::option(const std::string& name) const {
  const auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

void CommandLine::wrong_call(const std::string& problem) const {
  fail(problem + "\nusage: " + interface_.usage + "\n(" + interface_.program + " --help tells more)");
}

}  // namespace io
