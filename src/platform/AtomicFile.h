// Replacing a file's whole content so that a crash at any point leaves either the old
// content or the new, never a mixture.
#pragma once

#include <string>
#include <string_view>

namespace qorv::platform {

// Name of the temporary file that WriteFileAtomically writes before it replaces path.
std::string AtomicTempName(const std::string& path);

// Writes bytes to AtomicTempName(path) in the same folder, flushes it to the disk and
// puts it in place of path in one step. Writers of one path must take turns (hold a
// FileLock): the temporary name is fixed, so a crash leaves at most one stale temporary
// file, which the next write replaces. A new file is owner-only on POSIX; an existing
// one keeps its permissions. False, with path untouched and the temporary file removed,
// when path is read-only or a folder, the folder is missing or read-only, or the disk
// is full.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace qorv::platform
