#include "platform/FileCopy.h"

#include <windows.h>

#include <vector>

#include "platform/FreshName.h"

namespace qorv::platform {
namespace {

constexpr const char* kCopyPrefix = "~qcm-copy-";
constexpr const char* kAsidePrefix = "~qcm-aside-";

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle == INVALID_HANDLE_VALUE || CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string FolderOf(const std::string& path) {
  // A trail byte 0x5C of a double-byte character is not a separator.
  size_t end = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;
    } else if (IsSeparator(path[i]) || path[i] == ':') {
      end = i + 1;
    }
  }
  return path.substr(0, end);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || IsSeparator(folder.back()) || folder.back() == ':') return folder + name;
  return folder + "\\" + name;
}

// Opens nothing: names that the system maps to devices and pipes, and entries that are
// not plain files, answer here.
CopySource ClassifyPath(const std::string& path) {
  if (path.empty()) return CopySource::Missing;
  if (path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0) {
    return CopySource::NotRegularFile;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return CopySource::Missing;
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) return CopySource::NotRegularFile;
  return CopySource::Ok;
}

CopySource ClassifyHandle(HANDLE file, uint64_t maxBytes) {
  if (GetFileType(file) != FILE_TYPE_DISK) return CopySource::NotRegularFile;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return CopySource::Missing;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return CopySource::NotRegularFile;
  }
  const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return size > maxBytes ? CopySource::TooLarge : CopySource::Ok;
}

bool CopyBytes(HANDLE in, HANDLE out, uint64_t maxBytes, bool& tooLarge) {
  std::vector<char> buffer(65536);
  uint64_t total = 0;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
    if (read == 0) return true;
    total += read;
    if (total > maxBytes) {
      tooLarge = true;
      return false;
    }
    for (DWORD done = 0; done < read;) {
      DWORD written = 0;
      if (!WriteFile(out, buffer.data() + done, read - done, &written, nullptr) || written == 0) return false;
      done += written;
    }
  }
}

// A scanner or indexer that has a file open for a moment blocks a move; that passes,
// so it is tried again for a moment before giving up.
bool Move(const std::string& from, const std::string& to, DWORD flags) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(from.c_str(), to.c_str(), flags | MOVEFILE_WRITE_THROUGH)) return true;
    if (GetLastError() != ERROR_SHARING_VIOLATION || attempt == 40) return false;
    Sleep(25);
  }
}

}  // namespace

CopySource CheckCopySource(const std::string& path, uint64_t maxBytes) {
  const CopySource byPath = ClassifyPath(path);
  if (byPath != CopySource::Ok) return byPath;
  const Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid() ? ClassifyHandle(file.get(), maxBytes) : CopySource::Missing;
}

bool CopyToNewFile(const std::string& from, const std::string& folder, bool realFolder, uint64_t maxBytes,
                   std::string& created, CopySource& why) {
  created.clear();
  why = ClassifyPath(from);
  if (why != CopySource::Ok) return false;
  const Handle in(CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in.valid()) {
    why = CopySource::Missing;
    return false;
  }
  why = ClassifyHandle(in.get(), maxBytes);
  if (why != CopySource::Ok) return false;

  if (realFolder) {
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return false;
    }
  }
  std::string path;
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 16; ++attempt) {
    path = InFolder(folder, FreshFileName(kCopyPrefix));
    // CREATE_NEW fails on anything already there, a link included.
    handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) break;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  Handle out(handle);
  if (!out.valid()) return false;

  bool tooLarge = false;
  bool ok = CopyBytes(in.get(), out.get(), maxBytes, tooLarge) && FlushFileBuffers(out.get());
  ok = out.Close() && ok;
  if (!ok) {
    DeleteFileA(path.c_str());
    if (tooLarge) why = CopySource::TooLarge;
    return false;
  }
  created = path;
  return true;
}

bool MoveReplacing(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  const DWORD attributes = GetFileAttributesA(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesA(to.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  return Move(from, to, MOVEFILE_REPLACE_EXISTING);
}

bool MoveAside(const std::string& path, std::string& aside) {
  aside.clear();
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string candidate = InFolder(FolderOf(path), FreshFileName(kAsidePrefix));
    if (Move(path, candidate, 0)) {
      aside = candidate;
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool RemoveFile(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  return DeleteFileA(path.c_str()) != 0;
}

void RemoveLeftoverCopies(const std::string& folder) {
  for (const char* prefix : {kCopyPrefix, kAsidePrefix}) {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(InFolder(folder, std::string(prefix) + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) RemoveFile(InFolder(folder, found.cFileName));
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  std::string created;
  CopySource why;
  if (!CopyToNewFile(from, FolderOf(to), false, kAnySize, created, why)) return false;
  if (MoveReplacing(created, to)) return true;
  RemoveFile(created);
  return false;
}

}  // namespace qorv::platform
