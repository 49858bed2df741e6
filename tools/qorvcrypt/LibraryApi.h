// The library as qorvcrypt sees it: loaded by path, its exports found by name.
#pragma once

#include <string>

#include "QorvCryptManage.h"
#include "platform/DynamicLibrary.h"

namespace qorvcrypt {

class LibraryApi {
 public:
  // Loads the library at path; empty means the library beside this program.
  bool Load(const std::string& path, std::string& error);
  // The path it was loaded from.
  const std::string& Path() const { return path_; }

  // Address of an export, or null (with error set) when the library lacks it.
  template <typename Fn>
  Fn Find(const char* name, std::string& error) const {
    auto fn = reinterpret_cast<Fn>(library_.Symbol(name));
    if (fn == nullptr) error = std::string("the library does not export ") + name;
    return fn;
  }

 private:
  qorv::platform::DynamicLibrary library_;
  std::string path_;
};

}  // namespace qorvcrypt
