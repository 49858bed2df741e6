// qorvcrypt: runs the library's exports from a shell, one command per export.
#include <cstdio>
#include <string>

#include "CommandLine.h"
#include "Commands.h"
#include "LibraryApi.h"
#include "RequestInput.h"

namespace {

void PrintUsage(FILE* out) {
  std::fputs(
      "usage: qorvcrypt [--library PATH] COMMAND [OPTIONS]\n"
      "       qorvcrypt COMMAND --help      qorvcrypt --version\n"
      "\n"
      "Runs one export of the QorvCryptManage library, as host programs do, and prints\n"
      "its answer. The library is loaded from PATH, or else from this program's folder\n"
      "(installed: from the library folder of its prefix).\n"
      "Exit status: 0 when the library reports success, 1 when it reports failure\n"
      "(the reason is printed), 2 for a usage error or a library that cannot be loaded.\n"
      "REQUEST is the request's parameter string (Name=Value;...): --params P gives it\n"
      "on the command line, --params-file FILE reads it from FILE and --params - from\n"
      "standard input (one trailing line end is dropped). Pass passwords by a file or\n"
      "standard input: every user of the machine can read a command line.\n"
      "--raw prints a reply as one parameter string instead of one entry a line.\n"
      "\nCommands:\n",
      out);
  size_t count = 0;
  const qorvcrypt::Command* commands = qorvcrypt::Commands(count);
  for (size_t i = 0; i < count; ++i) std::fprintf(out, "  %s\n", commands[i].usage);
  std::fputs("  help [COMMAND]\n      Show this text, or the command's with an example.\n", out);
}

void PrintCommandHelp(const qorvcrypt::Command& command) {
  std::printf("usage: qorvcrypt %s\n\nExample:\n  %s\n", command.usage, command.example);
}

const qorvcrypt::Command* FindCommand(const std::string& name) {
  size_t count = 0;
  const qorvcrypt::Command* commands = qorvcrypt::Commands(count);
  for (size_t i = 0; i < count; ++i) {
    if (name == commands[i].name) return &commands[i];
  }
  return nullptr;
}

int OpenLibrary(const qorvcrypt::CommandLine& line, qorvcrypt::LibraryApi& api, bool forExports = true) {
  std::string error;
  if (forExports ? api.Load(line.Option("library"), error) : api.Open(line.Option("library"), error)) return 0;
  std::fprintf(stderr, "qorvcrypt: %s\n", error.c_str());
  return 2;
}

// The version the loaded library reports, which may not be the one qorvcrypt was built with.
int PrintVersion(const qorvcrypt::CommandLine& line) {
  qorvcrypt::LibraryApi api;
  // A library of the first version has neither QorvGetVersion nor QorvFreeText: say the former.
  if (OpenLibrary(line, api, false) != 0) return 2;
  std::string error;
  auto getVersion = api.Find<QorvGetVersionFn>("QorvGetVersion", error);
  const char* version = nullptr;
  if (getVersion == nullptr || !getVersion(&version) || version == nullptr) {
    std::fprintf(stderr, "qorvcrypt: %s\n", error.empty() ? "the library reports no version" : error.c_str());
    return 2;
  }
  std::printf("QorvCryptManage %s (%s)\n", version, api.Path().c_str());
  return 0;
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
  if (line.Has("version")) return PrintVersion(line);
  if (line.command == "help" && !line.arguments.empty()) {
    line.command = line.arguments.front();
    line.help = true;
  }
  if (line.command == "help") {
    PrintUsage(stdout);
    return 0;
  }
  const qorvcrypt::Command* command = FindCommand(line.command);
  if (command == nullptr) {
    std::fprintf(stderr, "qorvcrypt: unknown command %s\n\n", line.command.c_str());
    PrintUsage(stderr);
    return 2;
  }
  if (line.help) {
    PrintCommandHelp(*command);
    return 0;
  }
  if (!qorvcrypt::ResolveRequest(line, error)) {
    std::fprintf(stderr, "qorvcrypt: %s\n", error.c_str());
    return 2;
  }
  qorvcrypt::LibraryApi api;
  if (OpenLibrary(line, api) != 0) return 2;
  return command->run(api, line);
}
