#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <utility>

namespace qorv::platform {
namespace {

// flock() alone would do between threads on Linux, but not where it is emulated with
// fcntl() locks, which a process holds for all its threads at once. A gate per lock
// file, found by device and inode whatever path named it, makes threads take turns
// everywhere.
struct Gate {
  std::shared_mutex mutex;
  int users = 0;
};

using FileKey = std::pair<dev_t, ino_t>;

// Plain statics, so that a library unloaded and loaded again by its host leaves
// nothing behind; no lock is held by then.
std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<FileKey, Gate>& Registry() {
  static std::map<FileKey, Gate> gates;
  return gates;
}

Gate& JoinGate(const FileKey& key) {
  std::lock_guard<std::mutex> guard(RegistryMutex());
  Gate& gate = Registry()[key];  // map nodes stay put while others are added
  ++gate.users;
  return gate;
}

void LeaveGate(const FileKey& key) {
  std::lock_guard<std::mutex> guard(RegistryMutex());
  auto it = Registry().find(key);
  if (it != Registry().end() && --it->second.users == 0) Registry().erase(it);
}

int OpenLockFile(const std::string& path, bool create) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
  } while (fd < 0 && errno == EINTR);
  // A lock file made read-only still serves: flock needs no write access.
  if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  return fd;
}

}  // namespace

struct FileLock::State {
  int fd = -1;
  FileKey key{};
  Gate* gate = nullptr;
  Mode mode = Mode::Exclusive;
};

FileLock::FileLock() = default;

FileLock::~FileLock() { Release(); }

bool FileLock::Held() const { return FState != nullptr; }

bool FileLock::Acquire(const std::string& lockPath, Mode mode) { return AcquireOpened(lockPath, mode, true); }

bool FileLock::AcquireExisting(const std::string& lockPath, Mode mode) { return AcquireOpened(lockPath, mode, false); }

bool FileLock::AcquireOpened(const std::string& lockPath, Mode mode, bool create) {
  if (FState != nullptr || lockPath.empty()) return false;
  const int fd = OpenLockFile(lockPath, create);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  auto state = std::make_unique<State>();
  state->fd = fd;
  state->key = {st.st_dev, st.st_ino};
  state->mode = mode;
  state->gate = &JoinGate(state->key);
  if (mode == Mode::Exclusive) {
    state->gate->mutex.lock();
  } else {
    state->gate->mutex.lock_shared();
  }
  int result;
  do {
    result = flock(fd, mode == Mode::Exclusive ? LOCK_EX : LOCK_SH);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    if (mode == Mode::Exclusive) {
      state->gate->mutex.unlock();
    } else {
      state->gate->mutex.unlock_shared();
    }
    LeaveGate(state->key);
    close(fd);
    return false;
  }
  FState = std::move(state);
  return true;
}

void FileLock::Release() {
  if (FState == nullptr) return;
  // The lock file stays: removing it would let a waiter lock a file no one else sees.
  flock(FState->fd, LOCK_UN);
  close(FState->fd);
  if (FState->mode == Mode::Exclusive) {
    FState->gate->mutex.unlock();
  } else {
    FState->gate->mutex.unlock_shared();
  }
  LeaveGate(FState->key);
  FState.reset();
}

}  // namespace qorv::platform
