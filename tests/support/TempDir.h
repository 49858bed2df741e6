// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>
#include <string_view>

namespace qorv::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Path of the folder, ending in the target's separator.
  const std::string& path() const { return path_; }
  // path() + name.
  std::string File(std::string_view name) const;
  // Writes bytes to the named file in the folder and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;

 private:
  std::string path_;
};

// Brings the current directory back when a test has moved it.
class CurrentDirGuard {
 public:
  CurrentDirGuard();
  ~CurrentDirGuard();
  CurrentDirGuard(const CurrentDirGuard&) = delete;
  CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;

 private:
  std::string saved_;
};

// True when a read-only file really refuses writes in dir (a root user ignores the mode).
bool ReadOnlyModesHonoured(const TempDir& dir);

// The whole content of a file, or empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

}  // namespace qorv::test
