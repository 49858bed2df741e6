// The file and folder services the operations need besides reading and writing whole
// files. Paths are the host's text (UTF-8 on Linux, the ANSI code page on Windows) and
// relative ones resolve against the host's current directory, as the library's do.
#pragma once

#include <cstddef>
#include <string>

namespace qorv_ref::platform {

extern const char kPathSeparator;

enum class ReadResult { Ok, Missing, Unreadable };

// The whole content of a regular file of at most limit bytes; Missing when the path is
// no regular file, Unreadable when it cannot be read or is larger.
ReadResult ReadWholeFile(const std::string& path, size_t limit, std::string& bytes);

// True when anything (a file, a folder, a dangling link) has that name.
bool PathExists(const std::string& path);
bool RemoveFile(const std::string& path);

// The path made absolute against the current directory; empty when that fails.
std::string AbsolutePath(const std::string& path);
// The current directory; empty when it cannot be told.
std::string CurrentDirectory();
// Creates the folder and its missing parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);

}  // namespace qorv_ref::platform
