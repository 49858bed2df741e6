#include "WriteBehind.h"

namespace qorv_ref {

using platform::MutexLock;

WriteBehind::WriteBehind(platform::AtomicFile& out, size_t blocks) : out_(out), blocks_(blocks) {
  for (Bytes& block : blocks_) free_.push_back(&block);
  // Without a thread of its own, Submit writes in the caller's thread instead.
  thread_.Start([this] { Run(); });
}

WriteBehind::~WriteBehind() {
  {
    MutexLock lock(mutex_);
    stopping_ = true;
    changed_.NotifyAll();
  }
  thread_.Join();
  for (Bytes& block : blocks_) {
    block.resize(block.capacity());
    if (!block.empty()) OPENSSL_cleanse(block.data(), block.size());
  }
}

void WriteBehind::RethrowLocked() {
  if (failure_) std::rethrow_exception(failure_);
}

Bytes& WriteBehind::Acquire() {
  MutexLock lock(mutex_);
  changed_.Wait(mutex_, [this] { return !free_.empty() || failure_; });
  RethrowLocked();
  Bytes* block = free_.front();
  free_.pop_front();
  return *block;
}

void WriteBehind::Submit(Bytes& block) {
  if (!thread_.running()) {
    out_.Write(block.data(), block.size());
    Release(block);
    return;
  }
  MutexLock lock(mutex_);
  RethrowLocked();
  queued_.push_back(&block);
  changed_.NotifyAll();
}

void WriteBehind::Release(Bytes& block) {
  MutexLock lock(mutex_);
  free_.push_back(&block);
  changed_.NotifyAll();
}

void WriteBehind::Finish() {
  {
    MutexLock lock(mutex_);
    finishing_ = true;
    changed_.NotifyAll();
  }
  thread_.Join();
  MutexLock lock(mutex_);
  RethrowLocked();
}

void WriteBehind::Run() {
  mutex_.Lock();
  for (;;) {
    changed_.Wait(mutex_, [this] { return stopping_ || finishing_ || !queued_.empty(); });
    if (stopping_ || queued_.empty()) break;
    Bytes* block = queued_.front();
    queued_.pop_front();
    mutex_.Unlock();
    std::exception_ptr failure;
    try {
      out_.Write(block->data(), block->size());
    } catch (...) {
      failure = std::current_exception();
    }
    mutex_.Lock();
    if (failure) {
      failure_ = failure;
      changed_.NotifyAll();
      break;
    }
    free_.push_back(block);
    changed_.NotifyAll();
  }
  mutex_.Unlock();
}

}  // namespace qorv_ref
