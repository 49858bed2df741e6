#include "platform/SourceFile.h"

#include <windows.h>

#include <algorithm>

#include "Failure.h"
#include "Messages.h"

namespace qorv_ref::platform {
namespace {

const char* const kSourceWhat = "源文件";

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

SourceFile::SourceFile(const std::string& path) : path_(path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Fail(msg::FileMissing(kSourceWhat, path));
  }
  // Shared for deletion too, so that the output may replace the source it was read from.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail(msg::FileUnreadable(kSourceWhat, path));
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    Fail(msg::FileMissing(kSourceWhat, path));
  }
  handle_ = reinterpret_cast<intptr_t>(file);
}

SourceFile::~SourceFile() { Close(); }

void SourceFile::Close() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  handle_ = -1;
}

size_t SourceFile::Read(unsigned char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(AsHandle(handle_), data + done, chunk, &read, nullptr)) {
      Fail(msg::FileUnreadable(kSourceWhat, path_));
    }
    if (read == 0) break;
    done += read;
  }
  return done;
}

}  // namespace qorv_ref::platform
