// The file name of a loaded module, however long.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qorv::platform {

// Full path of the module's file (the executable for null); empty on failure.
inline std::string ModuleFileName(HMODULE module) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    // A full buffer means the name was cut short.
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace qorv::platform
