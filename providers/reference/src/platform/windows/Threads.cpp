#include "platform/Threads.h"

#include <windows.h>

namespace qorv_ref::platform {

struct Mutex::Native {
  SRWLOCK lock = SRWLOCK_INIT;
};
Mutex::Mutex() : native_(new Native) {}
Mutex::~Mutex() = default;
void Mutex::Lock() { AcquireSRWLockExclusive(&native_->lock); }
void Mutex::Unlock() { ReleaseSRWLockExclusive(&native_->lock); }

struct Condition::Native {
  CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};
Condition::Condition() : native_(new Native) {}
Condition::~Condition() = default;
void Condition::Wait(Mutex& mutex) { SleepConditionVariableSRW(&native_->condition, &mutex.native_->lock, INFINITE, 0); }
void Condition::NotifyAll() { WakeAllConditionVariable(&native_->condition); }

struct Thread::Native {
  HANDLE thread = nullptr;
};
Thread::Thread() : native_(new Native) {}
Thread::~Thread() { Join(); }

namespace {

DWORD WINAPI ThreadMain(LPVOID parameter) {
  try {
    (*static_cast<std::function<void()>*>(parameter))();
  } catch (...) {
    // Nothing may leave a thread: the body reports its own failures.
  }
  return 0;
}

}  // namespace

bool Thread::Start(std::function<void()> body) {
  body_ = std::move(body);
  native_->thread = CreateThread(nullptr, 0, ThreadMain, &body_, 0, nullptr);
  started_ = native_->thread != nullptr;
  return started_;
}

void Thread::Join() {
  if (!started_) return;
  WaitForSingleObject(native_->thread, INFINITE);
  CloseHandle(native_->thread);
  native_->thread = nullptr;
  started_ = false;
}

uint64_t CurrentThreadId() { return GetCurrentThreadId(); }

}  // namespace qorv_ref::platform
