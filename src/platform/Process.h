// Starting and ending another program, for tests that need a second process: one that
// is killed mid-work as a crash would end it, or several that work at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qorv::platform {

class ChildProcess {
 public:
  ChildProcess();
  ~ChildProcess();  // kills a child still running and waits for its end
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts program with arguments (not counting its own name) and this process's
  // environment plus the "NAME=value" entries given, which win over inherited ones.
  // False when it cannot be started or this object already has a child.
  bool Start(const std::string& program, const std::vector<std::string>& arguments,
             const std::vector<std::string>& environment);
  // Ends the child at once, with no chance to clean up.
  void Kill();
  // Waits for the child's end: its exit code, or -1 when it was killed (by Kill or a
  // signal) or none was started.
  int Wait();

 private:
  struct State;
  std::unique_ptr<State> FState;
};

}  // namespace qorv::platform
