#include "platform/Process.h"

#include <windows.h>

#include <algorithm>

namespace qorv::platform {
namespace {

// The exit code Kill gives, which Wait reports as -1.
constexpr UINT kKilledCode = 0xC0DE0009;

// One argument in the form the C runtime's command-line parser splits back out.
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=', 1)); }

bool SameName(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}

// This process's environment with the extra entries in place, sorted by name as
// CreateProcess expects, as one block of zero-terminated entries.
std::string EnvironmentBlock(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  if (char* block = GetEnvironmentStringsA()) {
    for (const char* entry = block; *entry != '\0'; entry += std::char_traits<char>::length(entry) + 1) {
      const std::string text(entry);
      const bool overridden = std::any_of(extra.begin(), extra.end(),
                                          [&](const std::string& e) { return SameName(NameOf(e), NameOf(text)); });
      if (!overridden) entries.push_back(text);
    }
    FreeEnvironmentStringsA(block);
  }
  entries.insert(entries.end(), extra.begin(), extra.end());
  std::stable_sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
    const std::string na = NameOf(a);
    const std::string nb = NameOf(b);
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, na.data(), static_cast<int>(na.size()), nb.data(),
                          static_cast<int>(nb.size())) == CSTR_LESS_THAN;
  });
  std::string block;
  for (const std::string& entry : entries) {
    block += entry;
    block += '\0';
  }
  block += '\0';
  return block;
}

}  // namespace

struct ChildProcess::State {
  HANDLE process = nullptr;
  bool killed = false;
};

ChildProcess::ChildProcess() = default;

ChildProcess::~ChildProcess() {
  if (FState != nullptr) {
    Kill();
    Wait();
  }
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment) {
  if (FState != nullptr) return false;
  std::string commandLine = QuoteArgument(program);
  for (const std::string& argument : arguments) commandLine += " " + QuoteArgument(argument);
  std::string block = EnvironmentBlock(environment);

  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, &block[0], nullptr, &startup,
                      &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  FState = std::make_unique<State>();
  FState->process = info.hProcess;
  return true;
}

void ChildProcess::Kill() {
  if (FState != nullptr && TerminateProcess(FState->process, kKilledCode)) FState->killed = true;
}

int ChildProcess::Wait() {
  if (FState == nullptr) return -1;
  WaitForSingleObject(FState->process, INFINITE);
  DWORD code = 0;
  const bool known = GetExitCodeProcess(FState->process, &code) != 0;
  CloseHandle(FState->process);
  const bool killed = FState->killed && code == kKilledCode;
  FState.reset();
  return !known || killed ? -1 : static_cast<int>(code);
}

}  // namespace qorv::platform
