#include "platform/AtomicFile.h"

#include <windows.h>

#include <algorithm>
#include <random>
#include <vector>

#include "Failure.h"
#include "Messages.h"

namespace qorv_ref::platform {
namespace {

// Temporary files are ".<target name>.<random>.qrvpart" beside the target. The writer
// holds each open, sharing nothing but deletion, until it is in place or gone; a file
// of that name that can be opened exclusively has no writer any more.
constexpr char kTempSuffix[] = ".qrvpart";

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The folder part with its separator ("" for a bare name) and the name.
void Split(const std::string& path, std::string& folder, std::string& name) {
  size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos && path.size() >= 2 && path[1] == ':') cut = 1;  // "C:name"
  folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  name = cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string RandomPart() {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::random_device device;
  std::string part;
  for (int i = 0; i < 12; ++i) part += kDigits[device() % (sizeof kDigits - 1)];
  return part;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void RemoveLeftovers(const std::string& folder, const std::string& name) {
  const std::string prefix = "." + name + ".";
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + prefix + "*" + kTempSuffix).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> names;
  do {
    const std::string entry = found.cFileName;
    // The pattern also matches short 8.3 names: only the exact form counts.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && entry.size() > prefix.size() + 8 &&
        entry.compare(0, prefix.size(), prefix) == 0 && EndsWith(entry, kTempSuffix)) {
      names.push_back(entry);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  for (const std::string& entry : names) {
    // Exclusive: fails while a writer still holds the file.
    HANDLE leftover = CreateFileA((folder + entry).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (leftover != INVALID_HANDLE_VALUE) CloseHandle(leftover);
  }
}

// A scanner or indexer that has the old file open briefly blocks the replace; such a
// sharing violation passes, so it is tried again for a moment before giving up.
bool MoveIntoPlace(const std::string& temp, const std::string& target, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(temp.c_str(), target.c_str(), flags)) return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || attempt == 40) return false;
    Sleep(25);
  }
}

bool TargetExists(const std::string& target) { return GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

AtomicFile::AtomicFile(const std::string& target, Visibility /*the folder's permissions apply*/) : target_(target) {
  std::string folder;
  std::string name;
  Split(target, folder, name);
  if (name.empty()) Fail(msg::TargetNotCreatable(target));
  RemoveLeftovers(folder, name);
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp_ = folder + "." + name + "." + RandomPart() + kTempSuffix;
    file = CreateFileA(temp_.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    temp_.clear();
    Fail(msg::TargetNotCreatable(target));
  }
  handle_ = reinterpret_cast<intptr_t>(file);
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (handle_ != -1) {
    // Gone when the handle closes, with no moment in which another could open it.
    FILE_DISPOSITION_INFO dispose{TRUE};
    const bool marked = !temp_.empty() && SetFileInformationByHandle(AsHandle(handle_), FileDispositionInfo, &dispose,
                                                                     sizeof dispose);
    CloseHandle(AsHandle(handle_));
    handle_ = -1;
    if (marked) temp_.clear();
  }
  if (!temp_.empty()) {
    DeleteFileA(temp_.c_str());
    temp_.clear();
  }
}

void AtomicFile::Write(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(AsHandle(handle_), bytes, chunk, &written, nullptr) || written == 0) {
      Fail(msg::TargetWriteFailed(target_));
    }
    bytes += written;
    size -= written;
    written_ += written;
  }
}

void AtomicFile::Commit(bool replace) {
  // Once, at the end: the system writes back the rest on its own meanwhile.
  if (!FlushFileBuffers(AsHandle(handle_))) Fail(msg::TargetWriteFailed(target_));
  // Moved while still held, so that no cleaner takes it for a leftover in between.
  if (!MoveIntoPlace(temp_, target_, replace)) {
    const DWORD error = GetLastError();
    if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS || TargetExists(target_))) {
      Fail(msg::OutputExists(target_));
    }
    Fail(msg::TargetWriteFailed(target_));
  }
  temp_.clear();
  const bool closed = CloseHandle(AsHandle(handle_)) != 0;
  handle_ = -1;
  if (!closed) Fail(msg::TargetWriteFailed(target_));
}

void WriteFileAtomically(const std::string& path, const std::string& bytes, Visibility visibility, bool replace) {
  AtomicFile file(path, visibility);
  file.Write(bytes.data(), bytes.size());
  file.Commit(replace);
}

}  // namespace qorv_ref::platform
