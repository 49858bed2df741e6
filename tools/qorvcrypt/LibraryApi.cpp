#include "LibraryApi.h"

#include "platform/FileSystem.h"
#include "platform/PathServices.h"
#include "platform/ProcessInfo.h"

namespace qorvcrypt {
namespace {

// The library beside this program, as in the build folder and in deployments that keep
// both in one folder; else, installed, the one in the prefix's library folder.
std::string DefaultLibraryPath() {
  std::string exe = qorv::platform::ExecutablePath();
  const size_t slash = exe.find_last_of("/\\");
  const std::string dir = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
  const std::string beside = dir + qorv::platform::SharedLibraryFileName("QorvCryptManage");
#ifdef QORVCRYPT_INSTALLED_LIBRARY
  // The executable's path has its links resolved, so ".." steps may go by the text.
  if (!qorv::platform::FileExists(beside)) return qorv::platform::FullPathName(dir + QORVCRYPT_INSTALLED_LIBRARY);
#endif
  return beside;
}

}  // namespace

bool LibraryApi::Open(const std::string& path, std::string& error) {
  path_ = path.empty() ? DefaultLibraryPath() : path;
  if (!library_.Open(path_)) {
    error = "cannot load " + path_ + ": " + library_.LastError();
    return false;
  }
  return true;
}

bool LibraryApi::Load(const std::string& path, std::string& error) {
  if (!Open(path, error)) return false;
  freeText_ = Find<QorvFreeTextFn>("QorvFreeText", error);
  return freeText_ != nullptr;
}

}  // namespace qorvcrypt
