// File and folder services behind the path functions and the certificate stores.
// Paths are narrow host text; relative paths resolve against the current directory.
#pragma once

#include <string>

namespace qorv::platform {

// The path made absolute against the current directory, "." and ".." steps removed.
// Windows asks the system; POSIX works on the text alone (no symlinks, no existence
// needed). Empty for an empty path or when the system cannot resolve it.
std::string FullPathName(const std::string& path);

// True when the path names an existing folder.
bool DirectoryExists(const std::string& path);

// Creates one folder whose parent exists: owner-only on POSIX (the folders hold keys),
// with default security on Windows.
bool CreateOneDirectory(const std::string& path);

// Clears read-only and the other attributes a copied file may carry, so that it can be
// replaced or removed later.
bool MakeFileNormal(const std::string& path);

// Full path of the file holding this code: the shared library when it runs inside one,
// otherwise the executable. Taken when the library was loaded, so a later change of the
// current directory does not move it.
std::string OwnModulePath();

}  // namespace qorv::platform
