// qorvcrypt: runs the library's exports from a shell, one command per export.
#include <cstdio>
#include <string>

#include "CommandLine.h"
#include "Commands.h"
#include "LibraryApi.h"

namespace {

void PrintUsage(FILE* out) {
  std::fputs(
      "usage: qorvcrypt [--library PATH] COMMAND [OPTIONS]\n"
      "\n"
      "Runs one export of the QorvCryptManage library, as host programs do, and prints\n"
      "its answer. The library is loaded from PATH, or else from this program's folder.\n"
      "Exit status: 0 when the library reports success, 1 when it reports failure\n"
      "(the reason is printed), 2 for a usage error or a library that cannot be loaded.\n"
      "--params P passes P as the request's parameter string (Name=Value;...); --raw\n"
      "prints a reply as one parameter string instead of one entry a line.\n"
      "\nCommands:\n",
      out);
  size_t count = 0;
  const qorvcrypt::Command* commands = qorvcrypt::Commands(count);
  for (size_t i = 0; i < count; ++i) std::fprintf(out, "  %s\n", commands[i].usage);
  std::fputs("  help\n      Show this text.\n", out);
}

}  // namespace

int main(int argc, char** argv) {
  qorvcrypt::CommandLine line;
  std::string error;
  if (!qorvcrypt::ParseCommandLine(argc, argv, line, error)) {
    std::fprintf(stderr, "qorvcrypt: %s\n\n", error.c_str());
    PrintUsage(stderr);
    return 2;
  }
  if (line.command == "help") {
    PrintUsage(stdout);
    return 0;
  }
  size_t count = 0;
  const qorvcrypt::Command* commands = qorvcrypt::Commands(count);
  for (size_t i = 0; i < count; ++i) {
    if (line.command != commands[i].name) continue;
    qorvcrypt::LibraryApi api;
    if (!api.Load(line.Option("library"), error)) {
      std::fprintf(stderr, "qorvcrypt: %s\n", error.c_str());
      return 2;
    }
    return commands[i].run(api, line);
  }
  std::fprintf(stderr, "qorvcrypt: unknown command %s\n\n", line.command.c_str());
  PrintUsage(stderr);
  return 2;
}
