// The folder and path functions of the certificate and password stores, with the rules
// of the target (see util/PathText.h). None reports an error: each returns a value or
// quietly does nothing. "Backslash" in the names is the target's separator.
#pragma once

#include <string>

namespace qorv {

// Folder of the running program's executable, ending in a separator. Inside a host
// program this is the host's folder, not the library's.
std::string HostAppDir();

// Full path of the library's own file; the executable's when not built as a library.
std::string ModuleFilePath();

// Folder part of ModuleFilePath, ending in a separator.
std::string ModuleDir();

// The path trimmed of blanks and control bytes at both ends, with one separator added
// unless it is empty or its last byte already is one.
std::string WithTrailingBackslash(const std::string& path);

// True when the path names an existing folder.
bool DirPresent(const std::string& path);

// Creates the folder and its missing parents; failures are silent. Only one trailing
// separator is ignored, so a path ending in two creates nothing.
void CreateDirPath(const std::string& path);

// The file's path relative to HostAppDir, or the file unchanged on another drive.
std::string RelativeToHostAppDir(const std::string& file);

// The path made absolute against the current directory; empty stays empty.
std::string FullPath(const std::string& path);

}  // namespace qorv
