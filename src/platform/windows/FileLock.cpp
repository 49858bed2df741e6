#include "platform/FileLock.h"

#include <windows.h>

namespace qorv::platform {

// LockFileEx locks belong to a handle: every Acquire opens its own, so threads of one
// process exclude each other just as processes do.
struct FileLock::State {
  HANDLE file = INVALID_HANDLE_VALUE;
};

namespace {

HANDLE OpenLockFile(const std::string& path, bool create) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                            create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  // A read-only lock file still serves: LockFileEx needs read or write access.
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
    file = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  return file;
}

}  // namespace

FileLock::FileLock() = default;

FileLock::~FileLock() { Release(); }

bool FileLock::Held() const { return FState != nullptr; }

bool FileLock::Acquire(const std::string& lockPath, Mode mode) { return AcquireOpened(lockPath, mode, true); }

bool FileLock::AcquireExisting(const std::string& lockPath, Mode mode) { return AcquireOpened(lockPath, mode, false); }

bool FileLock::AcquireOpened(const std::string& lockPath, Mode mode, bool create) {
  if (FState != nullptr || lockPath.empty()) return false;
  HANDLE file = OpenLockFile(lockPath, create);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return false;
  }
  OVERLAPPED at{};
  const DWORD flags = mode == Mode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
  if (!LockFileEx(file, flags, 0, 1, 0, &at)) {
    CloseHandle(file);
    return false;
  }
  FState = std::make_unique<State>();
  FState->file = file;
  return true;
}

void FileLock::Release() {
  if (FState == nullptr) return;
  // The lock file stays: removing it would let a waiter lock a file no one else sees.
  OVERLAPPED at{};
  UnlockFileEx(FState->file, 0, 1, 0, &at);
  CloseHandle(FState->file);
  FState.reset();
}

}  // namespace qorv::platform
