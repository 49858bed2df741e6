// A lock shared by the threads and processes that work on one file, held on a lock file
// of its own beside it. Holders of the exclusive lock exclude every other holder; shared
// holders exclude only exclusive ones. The platform drops the lock of a process that
// ends, however it ends, so a crash never leaves a file locked.
#pragma once

#include <memory>
#include <string>

namespace qorv::platform {

class FileLock {
 public:
  enum class Mode { Shared, Exclusive };

  FileLock();
  ~FileLock();  // releases a lock still held
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Waits until the lock on lockPath is held, creating the lock file (owner-only on
  // POSIX) when it is missing. False when the lock file can be neither opened nor
  // created, or this object already holds a lock. Release it on the thread that took it.
  bool Acquire(const std::string& lockPath, Mode mode);
  // The same, but only on a lock file that exists already: nothing is created. False
  // when there is none or it cannot be opened.
  bool AcquireExisting(const std::string& lockPath, Mode mode);
  void Release();
  bool Held() const;

 private:
  bool AcquireOpened(const std::string& lockPath, Mode mode, bool create);

  struct State;
  std::unique_ptr<State> FState;
};

}  // namespace qorv::platform
