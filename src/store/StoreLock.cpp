#include "store/StoreLock.h"

#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/FileLock.h"

namespace qorv {

struct TStoreLock::Holding {
  Mode mode = Mode::Read;
  int depth = 0;
  platform::FileLock lock;
};

namespace {

using HoldingKey = std::pair<std::string, std::thread::id>;

// Plain statics, so that a library unloaded and loaded again by its host leaves
// nothing behind; nothing is held by then.
std::mutex& HoldingsMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<HoldingKey, std::unique_ptr<TStoreLock::Holding>>& Holdings() {
  static std::map<HoldingKey, std::unique_ptr<TStoreLock::Holding>> holdings;
  return holdings;
}

}  // namespace

std::string TStoreLock::LockFileName(const std::string& setFileName) { return setFileName + ".lock"; }

TStoreLock::TStoreLock(const std::string& setFileName, Mode mode) {
  HoldingKey key{LockFileName(setFileName), std::this_thread::get_id()};
  {
    std::lock_guard<std::mutex> guard(HoldingsMutex());
    auto it = Holdings().find(key);
    if (it != Holdings().end()) {
      // Taken again by the thread that holds it: a change covers a read, not the reverse.
      if (mode == Mode::Change && it->second->mode == Mode::Read) return;
      ++it->second->depth;
      FHolding = it->second.get();
      FHeld = true;
      return;
    }
  }
  auto holding = std::make_unique<Holding>();
  holding->mode = mode;
  holding->depth = 1;
  if (mode == Mode::Change) {
    if (!holding->lock.Acquire(key.first, platform::FileLock::Mode::Exclusive)) return;
  } else {
    // No lock file, or none that can be opened: no writer can take it either.
    holding->lock.AcquireExisting(key.first, platform::FileLock::Mode::Shared);
  }
  std::lock_guard<std::mutex> guard(HoldingsMutex());
  FHolding = holding.get();
  FHeld = true;
  Holdings().emplace(std::move(key), std::move(holding));
}

TStoreLock::~TStoreLock() {
  if (FHolding == nullptr) return;
  std::unique_ptr<Holding> released;
  {
    std::lock_guard<std::mutex> guard(HoldingsMutex());
    if (--FHolding->depth > 0) return;
    for (auto it = Holdings().begin(); it != Holdings().end(); ++it) {
      if (it->second.get() == FHolding) {
        released = std::move(it->second);
        Holdings().erase(it);
        break;
      }
    }
  }
  // The file lock goes once the holding is out of the table, outside its mutex.
}

}  // namespace qorv
