// qorvcrypt's command line: a command, --name value options and positional arguments.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qorvcrypt {

struct CommandLine {
  std::string command;
  // --help or -h, with or without a command.
  bool help = false;
  std::map<std::string, std::string> options;  // "--config x" -> options["config"] = "x"
  std::vector<std::string> arguments;

  // The option's value, or fallback when it was not given.
  std::string Option(const std::string& name, const std::string& fallback = "") const;
  bool Has(const std::string& name) const { return options.count(name) != 0; }
};

// --raw and --version are flags; every other --name takes a value. False, with error
// set, when an option lacks its value.
bool ParseCommandLine(int argc, char** argv, CommandLine& line, std::string& error);

}  // namespace qorvcrypt
