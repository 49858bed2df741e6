#include "WriteBehind.h"

#include <system_error>

namespace qorv_ref {

WriteBehind::WriteBehind(AtomicFile& out, size_t blocks) : out_(out), blocks_(blocks) {
  for (Bytes& block : blocks_) free_.push_back(&block);
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No thread to be had: Submit writes in the caller's thread instead.
  }
}

WriteBehind::~WriteBehind() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  for (Bytes& block : blocks_) {
    block.resize(block.capacity());
    if (!block.empty()) OPENSSL_cleanse(block.data(), block.size());
  }
}

void WriteBehind::RethrowLocked() {
  if (failure_) std::rethrow_exception(failure_);
}

Bytes& WriteBehind::Acquire() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !free_.empty() || failure_; });
  RethrowLocked();
  Bytes* block = free_.front();
  free_.pop_front();
  return *block;
}

void WriteBehind::Submit(Bytes& block) {
  if (!thread_.joinable()) {
    out_.Write(block.data(), block.size());
    Release(block);
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  RethrowLocked();
  queued_.push_back(&block);
  changed_.notify_all();
}

void WriteBehind::Release(Bytes& block) {
  std::lock_guard<std::mutex> lock(mutex_);
  free_.push_back(&block);
  changed_.notify_all();
}

void WriteBehind::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finishing_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  RethrowLocked();
}

void WriteBehind::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || finishing_ || !queued_.empty(); });
    if (stopping_ || queued_.empty()) return;
    Bytes* block = queued_.front();
    queued_.pop_front();
    lock.unlock();
    try {
      out_.Write(block->data(), block->size());
    } catch (...) {
      lock.lock();
      failure_ = std::current_exception();
      changed_.notify_all();
      return;
    }
    lock.lock();
    free_.push_back(block);
    changed_.notify_all();
  }
}

}  // namespace qorv_ref
