#include "support/FolderSnapshot.h"

#include <filesystem>

#include "support/TempDir.h"

namespace qorv::test {

namespace fs = std::filesystem;

FolderSnapshot SnapshotOf(const std::string& folder) {
  FolderSnapshot snapshot;
  std::error_code error;
  if (!fs::is_directory(fs::path(folder), error)) return snapshot;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(folder))) {
    const std::string name = fs::relative(entry.path(), fs::path(folder)).generic_string();
    if (entry.is_symlink()) {
      snapshot[name] = "link to " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      snapshot[name] = "folder";
    } else {
      snapshot[name] = "file: " + ReadFileBytes(entry.path().string());
    }
  }
  return snapshot;
}

}  // namespace qorv::test
