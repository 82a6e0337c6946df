#include "io/command_line.hpp"

#include <cstdio>
#include <sstream>

#include "io/errors.hpp"

#ifndef GROWTH_VERSION
#define GROWTH_VERSION "unknown"
#endif

namespace io {

const char* version() { return GROWTH_VERSION; }

namespace {

bool is_option(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

// One row of the help: the label, then the lines of its text at the column.
void add_row(std::string& out, const std::string& label, const std::string& text, int column) {
  const std::string indent(static_cast<std::size_t>(column) + 2, ' ');
  std::string start = "  " + label;
  if (start.size() >= indent.size()) {
    out += start + "\n";
    start = indent;
  }
  start.resize(indent.size(), ' ');
  std::stringstream lines(text);
  for (std::string line; std::getline(lines, line); start = indent) out += start + line + "\n";
}

void add_options(std::string& out, const std::vector<Option>& options, int column) {
  std::string label;
  for (const Option& o : options) {
    label += (label.empty() ? "" : ", ") + o.name + (o.value.empty() ? "" : " " + o.value);
    if (o.help.empty()) continue;
    add_row(out, label, o.help, column);
    label.clear();
  }
}

const Option* find_option(const ProgramInterface& interface, const std::string& name) {
  for (const OptionGroup& group : interface.option_groups)
    for (const Option& o : group.options)
      if (o.name == name) return &o;
  return nullptr;
}

}  // namespace

std::string help_text(const ProgramInterface& interface) {
  std::string out = "usage: " + interface.usage + "\n\n" + interface.description + "\n\nArguments:\n";
  for (const Argument& a : interface.arguments) add_row(out, a.label, a.help, interface.column);
  for (const OptionGroup& group : interface.option_groups) {
    out += "\n" + group.heading + ":\n";
    add_options(out, group.options, interface.column);
  }
  add_row(out, "-h, --help", "show this help and exit", interface.column);
  add_row(out, "--version", "show the version and exit", interface.column);
  return out + "\n" + interface.epilogue;
}

CommandLine::CommandLine(int argc, char** argv, const ProgramInterface& interface) : interface_(interface) {
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--help" || arg == "-h") {
      std::fputs(help_text(interface).c_str(), stdout);
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
  if (positionals_.size() == interface_.arguments.size())
    wrong_call("unexpected argument " + quoted(arg) + " (at most " + std::to_string(interface_.arguments.size()) +
               " file names)");
  positionals_.push_back(arg);
}

int CommandLine::take_option(int k, int argc, char** argv) {
  const std::string arg = argv[k];
  const Option* known = find_option(interface_, arg);
  if (known == nullptr) wrong_call("unknown option " + quoted(arg));
  if (options_.count(arg) != 0) wrong_call("option " + arg + " given twice");
  if (known->value.empty()) {
    options_[arg] = "";
    return k;
  }
  if (k + 1 >= argc || std::string(argv[k + 1]).empty()) wrong_call("option " + arg + " needs a value");
  options_[arg] = argv[k + 1];
  return k + 1;
}

std::string CommandLine::file(int k) const {
  const std::string& what = interface_.arguments[static_cast<std::size_t>(k - 1)].what;
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
