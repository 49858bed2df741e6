#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace qorv::platform {

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != 0 && size.QuadPart >= 0 &&
            static_cast<unsigned long long>(size.QuadPart) < static_cast<unsigned long long>(SIZE_MAX / 2);
  if (ok) {
    // The size when opened is what is read, as a reader racing a writer would see it.
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
      DWORD read = 0;
      if (!ReadFile(file, &bytes[done], chunk, &read, nullptr)) {
        ok = false;
        break;
      }
      if (read == 0) break;
      done += read;
    }
    bytes.resize(done);
  }
  CloseHandle(file);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace qorv::platform
