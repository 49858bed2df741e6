// Writes blocks to an AtomicFile in order on a thread of its own, so that copying into
// the file system overlaps the cryptography. A fixed pool of blocks bounds the memory:
// the producer waits for a free block when the writer falls behind.
#pragma once

#include <deque>
#include <exception>
#include <vector>

#include "Ossl.h"
#include "platform/AtomicFile.h"
#include "platform/Threads.h"

namespace qorv_ref {

class WriteBehind {
 public:
  WriteBehind(platform::AtomicFile& out, size_t blocks);
  // Without Finish, stops the writer and drops what is queued; the blocks are wiped.
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // A free block, waiting for one if need be. A failed write is rethrown here.
  Bytes& Acquire();
  // Queues the block's bytes for writing, after everything submitted before.
  void Submit(Bytes& block);
  // Gives back a block that holds nothing to write.
  void Release(Bytes& block);
  // Returns once everything submitted is written; rethrows a failed write.
  void Finish();

 private:
  void Run();
  void RethrowLocked();

  platform::AtomicFile& out_;
  std::vector<Bytes> blocks_;
  platform::Mutex mutex_;
  platform::Condition changed_;
  std::deque<Bytes*> free_;
  std::deque<Bytes*> queued_;
  std::exception_ptr failure_;
  bool finishing_ = false;
  bool stopping_ = false;
  platform::Thread thread_;
};

}  // namespace qorv_ref
