#include "platform/PathServices.h"

#include <windows.h>

#include <vector>

#include "platform/windows/ModuleFileName.h"

namespace qorv::platform {

std::string FullPathName(const std::string& path) {
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

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateOneDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool MakeFileNormal(const std::string& path) { return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0; }

std::string OwnModulePath() {
  HMODULE module = nullptr;
  // The module holding this function: the library inside a host, the test program otherwise.
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&OwnModulePath), &module)) {
    module = nullptr;
  }
  return ModuleFileName(module);
}

}  // namespace qorv::platform
