// What a folder holds, to compare before and after a call: every entry below it by its
// path relative to the folder, folders marked as such, files with their bytes.
#pragma once

#include <map>
#include <string>

namespace qorv::test {

using FolderSnapshot = std::map<std::string, std::string>;

// Empty when the folder does not exist.
FolderSnapshot SnapshotOf(const std::string& folder);

}  // namespace qorv::test
