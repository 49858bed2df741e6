// File services. Paths are narrow host text, used exactly as given; relative paths
// resolve against the process's current directory.
#pragma once

#include <string>

namespace qorv::platform {

// True when the path names an existing entry that is not a folder.
bool FileExists(const std::string& path);

// Reads the whole file, opened so that others may read, write, replace and remove it
// meanwhile.
// Returns false (and leaves bytes empty) on any failure.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace qorv::platform
