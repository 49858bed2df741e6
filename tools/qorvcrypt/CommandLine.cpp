#include "CommandLine.h"

namespace qorvcrypt {

std::string CommandLine::Option(const std::string& name, const std::string& fallback) const {
  auto it = options.find(name);
  return it == options.end() ? fallback : it->second;
}

bool ParseCommandLine(int argc, char** argv, CommandLine& line, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (arg == "--raw" || arg == "--version") {
      line.options[arg.substr(2)] = "1";
    } else if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return false;
      }
      line.options[arg.substr(2)] = argv[++i];
    } else if (line.command.empty()) {
      line.command = arg;
    } else {
      line.arguments.push_back(arg);
    }
  }
  if (line.command.empty() && !line.Has("version")) line.command = "help";
  return true;
}

}  // namespace qorvcrypt
