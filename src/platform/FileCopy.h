// Copies of files that the library keeps or hands out. A copy is written into a file of
// its own that the copy creates, exclusively and under a fresh name, never through a
// link, and is then moved into place in one step: a link planted in the folder cannot
// send the bytes elsewhere, a file planted there cannot lend them its permissions, and a
// copy cut short leaves nothing under a name that a later copy uses.
#pragma once

#include <cstdint>
#include <string>

namespace qorv::platform {

enum class CopySource {
  Ok,
  Missing,         // nothing there, or it cannot be opened
  NotRegularFile,  // a folder, FIFO, device or socket
  TooLarge,        // more bytes than the bound given
};

// No bound on the size of a source.
inline constexpr uint64_t kAnySize = UINT64_MAX;

// What a copy of path would find, read from nothing: a FIFO without a writer, a device
// or a socket is refused without being opened.
CopySource CheckCopySource(const std::string& path, uint64_t maxBytes);

// Copies from into a new file in folder and gives its path in created. The new file is
// created exclusively under a fresh name, never through a link, readable by its owner
// only on POSIX, and flushed to disk. With realFolder a link standing for the folder
// itself is refused too. The source is checked as CheckCopySource does, once more on the
// handle it is read from. False, with nothing left behind, when the source does not pass
// (why says how; Ok when the copy itself failed: a missing folder, a full disk).
bool CopyToNewFile(const std::string& from, const std::string& folder, bool realFolder, uint64_t maxBytes,
                   std::string& created, CopySource& why);

// Puts from in place of to in one step and makes that durable. What stands at to gives
// way: a read-only file, or a link, which is replaced itself and never followed. A
// folder does not.
bool MoveReplacing(const std::string& from, const std::string& to);

// Moves the file at path to a fresh name in its folder, replacing nothing, and gives that
// name's path in aside. False when there is nothing to move or it cannot be moved.
bool MoveAside(const std::string& path, std::string& aside);

// Removes the file at path (a link itself, never what it points to).
bool RemoveFile(const std::string& path);

// Removes what copies and moves aside that never finished (the process ended in the
// middle) left in folder: the files under the fresh names of CopyToNewFile and
// MoveAside. Only for a folder in which no copy is under way, as the store's lock
// ensures for a set's folder.
void RemoveLeftoverCopies(const std::string& folder);

// Copies from over to, through CopyToNewFile in to's folder and MoveReplacing. False,
// with to as it was, when from is missing or not a regular file or the copy fails.
bool CopyFileReplacing(const std::string& from, const std::string& to);

}  // namespace qorv::platform
