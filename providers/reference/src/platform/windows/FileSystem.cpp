#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace qorv_ref::platform {

const char kPathSeparator = '\\';

ReadResult ReadWholeFile(const std::string& path, size_t limit, std::string& bytes) {
  bytes.clear();
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return ReadResult::Missing;
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ReadResult::Unreadable;
  ReadResult result = ReadResult::Ok;
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    result = ReadResult::Missing;
  } else if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > limit) {
    result = ReadResult::Unreadable;
  } else {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD read = 0;
      if (!ReadFile(file, &bytes[done], static_cast<DWORD>(bytes.size() - done), &read, nullptr) || read == 0) break;
      done += read;
    }
    if (done != bytes.size()) result = ReadResult::Unreadable;
  }
  CloseHandle(file);
  if (result != ReadResult::Ok) bytes.clear();
  return result;
}

bool PathExists(const std::string& path) {
  return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return std::string();
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) return std::string();
    // Too small: length is the size needed, terminator included.
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(length);
  }
}

std::string CurrentDirectory() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(length);
  }
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::string trimmed = path;
  while (trimmed.size() > 1 && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  const size_t cut = trimmed.find_last_of("/\\");
  // Stops at a root: "C:\", "\\server\share\" and "\" exist or cannot be made.
  if (cut != std::string::npos && cut > 0 && trimmed[cut - 1] != ':' && !MakeDirectories(trimmed.substr(0, cut))) {
    return false;
  }
  return CreateDirectoryA(trimmed.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace qorv_ref::platform
