// Loading shared libraries and finding their functions by name.
#pragma once

#include <string>

namespace qorv::platform {

// "QorvCryptManage" -> "QorvCryptManage.dll" or "libQorvCryptManage.so".
std::string SharedLibraryFileName(const std::string& baseName);

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the library at path as written. Returns false when it cannot be loaded;
  // LastError() then says why.
  bool Open(const std::string& path);
  // Unloads it; true when the platform reports success or nothing was loaded.
  bool Close();
  bool IsOpen() const { return handle_ != nullptr; }
  // Address of an exported function, or null.
  void* Symbol(const char* name) const;
  // True when address lies in the library's own image (its code and data), not in
  // another library's or the program's.
  bool Contains(const void* address) const;
  // The platform's own handle (dlopen's, the module handle), for the platform layer.
  void* NativeHandle() const { return handle_; }
  const std::string& LastError() const { return lastError_; }

 private:
  void* handle_ = nullptr;
  std::string lastError_;
};

}  // namespace qorv::platform
