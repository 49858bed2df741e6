#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <link.h>

namespace qorv::platform {

std::string SharedLibraryFileName(const std::string& baseName) { return "lib" + baseName + ".so"; }

DynamicLibrary::~DynamicLibrary() { Close(); }

bool DynamicLibrary::Open(const std::string& path) {
  Close();
  // A bare file name would make dlopen search the library path instead of the current
  // directory, where the caller found the file.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    lastError_ = why != nullptr ? why : "dlopen failed";
    return false;
  }
  lastError_.clear();
  return true;
}

bool DynamicLibrary::Close() {
  if (handle_ == nullptr) return true;
  if (dlclose(handle_) != 0) return false;
  handle_ = nullptr;
  return true;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

bool DynamicLibrary::Contains(const void* address) const {
  if (handle_ == nullptr || address == nullptr) return false;
  link_map* own = nullptr;
  if (dlinfo(handle_, RTLD_DI_LINKMAP, &own) != 0 || own == nullptr) return false;
  Dl_info info{};
  link_map* holder = nullptr;
  return dladdr1(address, &info, reinterpret_cast<void**>(&holder), RTLD_DL_LINKMAP) != 0 && holder == own;
}

}  // namespace qorv::platform
