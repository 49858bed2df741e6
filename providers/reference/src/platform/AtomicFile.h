// A file that appears at its path complete or not at all: the bytes go to a temporary
// file in the same folder, which replaces the target only on Commit. Destroyed without
// a commit, it removes the temporary file and leaves the target as it was. A process
// killed while writing leaves no named file behind where the system can avoid it (an
// unnamed file on Linux); elsewhere the next file written to the same target removes
// the leftovers that no running writer holds any more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qorv_ref::platform {

// Who may read the new file: certificates are for everyone, keys and plaintext for the
// owner (where the system has owners).
enum class Visibility { Everyone, OwnerOnly };

class AtomicFile {
 public:
  AtomicFile(const std::string& target, Visibility visibility);
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
  std::string temp_;  // the temporary file's name, where it has one
  intptr_t handle_ = -1;
  uint64_t written_ = 0;
  uint64_t flushStarted_ = 0;
};

// Writes bytes to path through an AtomicFile.
void WriteFileAtomically(const std::string& path, const std::string& bytes, Visibility visibility, bool replace);

}  // namespace qorv_ref::platform
