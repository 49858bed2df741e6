// The file being encrypted or decrypted, read sequentially in large blocks straight
// into the caller's buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qorv_ref::platform {

class SourceFile {
 public:
  // Refuses what is not a readable regular file.
  explicit SourceFile(const std::string& path);
  ~SourceFile();
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // Reads until size bytes or the end of the file; a read error fails with the path.
  size_t Read(unsigned char* data, size_t size);
  // Done with the file: an output may replace it now, where the system cares.
  void Close();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  intptr_t handle_ = -1;
};

}  // namespace qorv_ref::platform
