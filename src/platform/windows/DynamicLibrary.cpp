#include "platform/DynamicLibrary.h"

#include <windows.h>

namespace qorv::platform {

std::string SharedLibraryFileName(const std::string& baseName) { return baseName + ".dll"; }

DynamicLibrary::~DynamicLibrary() { Close(); }

bool DynamicLibrary::Open(const std::string& path) {
  Close();
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    lastError_ = "LoadLibrary failed with error " + std::to_string(GetLastError());
    return false;
  }
  handle_ = reinterpret_cast<void*>(module);
  lastError_.clear();
  return true;
}

bool DynamicLibrary::Close() {
  if (handle_ == nullptr) return true;
  if (!FreeLibrary(reinterpret_cast<HMODULE>(handle_))) return false;
  handle_ = nullptr;
  return true;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
}

bool DynamicLibrary::Contains(const void* address) const {
  if (handle_ == nullptr || address == nullptr) return false;
  HMODULE holder = nullptr;
  return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &holder) != 0 &&
         holder == reinterpret_cast<HMODULE>(handle_);
}

}  // namespace qorv::platform
