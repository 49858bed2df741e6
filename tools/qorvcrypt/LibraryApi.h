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

  QorvGetCryptListFn getCryptList = nullptr;

 private:
  qorv::platform::DynamicLibrary library_;
};

}  // namespace qorvcrypt
