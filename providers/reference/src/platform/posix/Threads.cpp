#include "platform/Threads.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace qorv_ref::platform {

struct Mutex::Native {
  std::mutex mutex;
};
Mutex::Mutex() : native_(new Native) {}
Mutex::~Mutex() = default;
void Mutex::Lock() { native_->mutex.lock(); }
void Mutex::Unlock() { native_->mutex.unlock(); }

struct Condition::Native {
  std::condition_variable_any condition;
};
Condition::Condition() : native_(new Native) {}
Condition::~Condition() = default;
void Condition::Wait(Mutex& mutex) { native_->condition.wait(mutex.native_->mutex); }
void Condition::NotifyAll() { native_->condition.notify_all(); }

struct Thread::Native {
  std::thread thread;
};
Thread::Thread() : native_(new Native) {}
Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> body) {
  body_ = std::move(body);
  try {
    native_->thread = std::thread([this] { body_(); });
  } catch (const std::system_error&) {
    return false;
  }
  started_ = true;
  return true;
}

void Thread::Join() {
  if (started_) native_->thread.join();
  started_ = false;
}

uint64_t CurrentThreadId() { return static_cast<uint64_t>(::pthread_self()); }

}  // namespace qorv_ref::platform
