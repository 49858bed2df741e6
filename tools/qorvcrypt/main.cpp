// qorvcrypt: runs the library's exports from a shell, one subcommand per export.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "LibraryApi.h"

using qorvcrypt::LibraryApi;

namespace {

const char kUsage[] =
    "usage: qorvcrypt [--library PATH] COMMAND [OPTIONS]\n"
    "\n"
    "Runs one export of the QorvCryptManage library and prints its answer.\n"
    "The library is loaded from PATH, or else from the folder of this program.\n"
    "Exit status: 0 when the library reports success, 1 when it reports failure,\n"
    "2 for a usage error or a library that cannot be loaded.\n"
    "\n"
    "Commands:\n"
    "  list --config FILE     List the crypto types of the configuration FILE as\n"
    "                         NAME=DESC lines (GetCryptList).\n"
    "  help                   Show this text.\n";

struct Options {
  std::string library;
  std::string command;
  std::map<std::string, std::string> values;  // --name value
};

bool ParseArguments(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.command = "help";
      return true;
    }
    if (arg.rfind("--", 0) == 0) {
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return false;
      }
      std::string value = argv[++i];
      if (arg == "--library") {
        options.library = value;
      } else {
        options.values[arg.substr(2)] = value;
      }
    } else if (options.command.empty()) {
      options.command = arg;
    } else {
      error = "unexpected argument " + arg;
      return false;
    }
  }
  if (options.command.empty()) options.command = "help";
  return true;
}

// Room for whatever an export may write: the library is not told buffer sizes.
std::vector<char> ReplyBuffer(const std::string& request, size_t extra) {
  std::vector<char> buffer(request.size() + extra + 1, '\0');
  std::memcpy(buffer.data(), request.c_str(), request.size() + 1);
  return buffer;
}

size_t FileSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return in ? static_cast<size_t>(in.tellg()) : 0;
}

int PrintOutcome(unsigned char ok, const char* params) {
  if (!ok) std::fprintf(stderr, "failed: %s\n", params);
  return ok ? 0 : 1;
}

int RunList(LibraryApi& api, const Options& options) {
  auto config = options.values.find("config");
  if (config == options.values.end()) {
    std::fprintf(stderr, "list needs --config FILE\n");
    return 2;
  }
  // The list is never longer than twice the file's bytes; messages need little room.
  std::vector<char> list(2 * FileSize(config->second) + 1, '\0');
  std::vector<char> params = ReplyBuffer("", 4096 + 2 * config->second.size());
  char* paramsText = params.data();
  unsigned char ok = api.getCryptList(0, config->second.c_str(), list.data(), &paramsText);
  if (ok) std::fputs(list.data(), stdout);
  return PrintOutcome(ok, paramsText);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!ParseArguments(argc, argv, options, error)) {
    std::fprintf(stderr, "qorvcrypt: %s\n\n%s", error.c_str(), kUsage);
    return 2;
  }
  if (options.command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  LibraryApi api;
  if (!api.Load(options.library, error)) {
    std::fprintf(stderr, "qorvcrypt: %s\n", error.c_str());
    return 2;
  }
  if (options.command == "list") return RunList(api, options);
  std::fprintf(stderr, "qorvcrypt: unknown command %s\n\n%s", options.command.c_str(), kUsage);
  return 2;
}
