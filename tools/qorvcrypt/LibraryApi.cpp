#include "LibraryApi.h"

#include "platform/ProcessInfo.h"

namespace qorvcrypt {
namespace {

std::string DefaultLibraryPath() {
  std::string exe = qorv::platform::ExecutablePath();
  const size_t slash = exe.find_last_of("/\\");
  const std::string dir = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
  return dir + qorv::platform::SharedLibraryFileName("QorvCryptManage");
}

}  // namespace

bool LibraryApi::Load(const std::string& path, std::string& error) {
  const std::string file = path.empty() ? DefaultLibraryPath() : path;
  if (!library_.Open(file)) {
    error = "cannot load " + file + ": " + library_.LastError();
    return false;
  }
  freeText_ = Find<QorvFreeTextFn>("QorvFreeText", error);
  return freeText_ != nullptr;
}

}  // namespace qorvcrypt
