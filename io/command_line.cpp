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

std::string option_words(const Option& o) { return o.name + (o.value.empty() ? "" : " " + o.value); }

// The options of one help row, as the usage shows them; `name` is the option
// that carries the row's help.
struct UsageRow {
  std::string name;
  std::string words;  // "--k1 X --k2 X"
  bool required = false;
  std::string within;
};

std::vector<UsageRow> usage_rows(const ProgramInterface& interface) {
  std::vector<UsageRow> rows;
  std::string words;
  for (const OptionGroup& group : interface.option_groups)
    for (const Option& o : group.options) {
      words += (words.empty() ? "" : " ") + option_words(o);
      if (o.help.empty()) continue;
      rows.push_back({o.name, words, o.required, o.within});
      words.clear();
    }
  return rows;
}

// A row with the rows that go with it inside its brackets.
std::string usage_entry(const std::vector<UsageRow>& rows, const UsageRow& row) {
  std::string words = row.words;
  for (const UsageRow& r : rows)
    if (r.within == row.name) words += " " + usage_entry(rows, r);
  return row.required ? words : "[" + words + "]";
}

}  // namespace

std::string usage_text(const ProgramInterface& interface) {
  std::vector<std::string> words;
  std::string optional;
  for (std::size_t k = 0; k < interface.arguments.size(); ++k) {
    const std::string& label = interface.arguments[k].label;
    if (static_cast<int>(k) < interface.required) words.push_back(label);
    else optional += (optional.empty() ? "" : " ") + label;
  }
  if (!optional.empty()) words.push_back("[" + optional + "]");
  const std::vector<UsageRow> rows = usage_rows(interface);
  for (const UsageRow& row : rows)
    if (row.within.empty()) words.push_back(usage_entry(rows, row));
  if (!interface.input.empty()) words.push_back("< " + interface.input);
  // Lines of at most 80 characters, counted with the "usage: " before the first.
  const std::string indent(std::string("usage: ").size() + interface.program.size() + 1, ' ');
  std::string out = interface.program;
  std::size_t line = std::string("usage: ").size() + out.size();
  for (const std::string& w : words) {
    if (line + 1 + w.size() > 80) {
      out.append("\n").append(indent).append(w);
      line = indent.size() + w.size();
    } else {
      out += " " + w;
      line += 1 + w.size();
    }
  }
  return out;
}

std::string help_text(const ProgramInterface& interface) {
  std::string out = "usage: " + usage_text(interface) + "\n\n" + interface.description + "\n\nArguments:\n";
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
  fail(problem + "\nusage: " + usage_text(interface_) + "\n(" + interface_.program + " --help tells more)");
}

}  // namespace io
