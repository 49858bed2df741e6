#include "platform/Process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace qorv::platform {

struct ChildProcess::State {
  pid_t pid = -1;
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
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  std::vector<char*> envp;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    const size_t nameLength = equals == nullptr ? std::strlen(*entry) : static_cast<size_t>(equals - *entry);
    bool overridden = false;
    for (const std::string& extra : environment) {
      overridden = overridden || (extra.size() > nameLength && extra[nameLength] == '=' &&
                                  extra.compare(0, nameLength, *entry, nameLength) == 0);
    }
    if (!overridden) envp.push_back(*entry);
  }
  for (const std::string& extra : environment) envp.push_back(const_cast<char*>(extra.c_str()));
  envp.push_back(nullptr);

  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return false;
  FState = std::make_unique<State>();
  FState->pid = pid;
  return true;
}

void ChildProcess::Kill() {
  if (FState != nullptr) kill(FState->pid, SIGKILL);
}

int ChildProcess::Wait() {
  if (FState == nullptr) return -1;
  int status = 0;
  pid_t result;
  do {
    result = waitpid(FState->pid, &status, 0);
  } while (result < 0 && errno == EINTR);
  FState.reset();
  if (result < 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace qorv::platform
