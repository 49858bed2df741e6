#include "platform/AtomicFile.h"

#include <windows.h>

#include <algorithm>

namespace qorv::platform {
namespace {

bool WriteAll(HANDLE file, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

// A scanner or indexer that has the old file open briefly blocks the replace; such a
// sharing violation passes, so it is tried again for a moment before giving up.
bool MoveIntoPlace(const std::string& temp, const std::string& path) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (GetLastError() != ERROR_SHARING_VIOLATION || attempt == 40) return false;
    Sleep(25);
  }
}

}  // namespace

std::string AtomicTempName(const std::string& path) { return path + ".tmp"; }

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return false;
  }

  const std::string temp = AtomicTempName(path);
  SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);  // a stale one from a crash
  DeleteFileA(temp.c_str());
  HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, bytes) && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  ok = ok && MoveIntoPlace(temp, path);
  if (!ok) {
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace qorv::platform
