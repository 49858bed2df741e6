// A file that appears at its path complete or not at all: the bytes go to a temporary
// file in the same folder, which replaces the target only on Commit. Destroyed without
// a commit, it removes the temporary file and leaves the target as it was.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace qorv_ref {

class AtomicFile {
 public:
  AtomicFile(const std::string& target, mode_t permissions);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Unbuffered: callers hand over whole blocks, one write each.
  void Write(const void* data, size_t size);
  // Flushes to disk and moves the file into place; refuses an existing target when
  // replace is false.
  void Commit(bool replace = true);

  const std::string& target() const { return target_; }

 private:
  void Discard();

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  uint64_t written_ = 0;
  uint64_t flushStarted_ = 0;
};

// Writes bytes to path through an AtomicFile.
void WriteFileAtomically(const std::string& path, const std::string& bytes, mode_t permissions, bool replace);

}  // namespace qorv_ref
