// Keeps the process's current directory where it was while foreign code (a provider
// library) runs, which may move it.
#pragma once

#include <memory>

namespace qorv::platform {

class CurrentDirectoryKeeper {
 public:
  // Records the current directory.
  CurrentDirectoryKeeper();
  // Makes the recorded directory current again when another one is.
  ~CurrentDirectoryKeeper();
  CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
  CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

 private:
  struct Recorded;
  std::unique_ptr<Recorded> FRecorded;
};

}  // namespace qorv::platform
