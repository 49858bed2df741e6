// The provider's own threads and locks: the system's native ones, so that nothing of a
// threading runtime stays behind in the host when the provider is unloaded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace qorv_ref::platform {

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void Lock();
  void Unlock();

 private:
  friend class Condition;
  struct Native;
  std::unique_ptr<Native> native_;
};

class MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~MutexLock() { mutex_.Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

class Condition {
 public:
  Condition();
  ~Condition();
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;
  // The mutex is held by the caller, released while waiting and held again on return.
  void Wait(Mutex& mutex);
  template <typename Predicate>
  void Wait(Mutex& mutex, Predicate ready) {
    while (!ready()) Wait(mutex);
  }
  void NotifyAll();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

class Thread {
 public:
  Thread();
  ~Thread();  // joins a thread still running
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // False when no thread could be started.
  bool Start(std::function<void()> body);
  void Join();
  bool running() const { return started_; }

 private:
  struct Native;
  std::unique_ptr<Native> native_;
  std::function<void()> body_;
  bool started_ = false;
};

// Tells the calling thread apart from the others that are running.
uint64_t CurrentThreadId();

}  // namespace qorv_ref::platform
