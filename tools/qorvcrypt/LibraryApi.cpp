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

template <typename Fn>
bool Bind(const qorv::platform::DynamicLibrary& library, const char* name, Fn& fn, std::string& error) {
  fn = reinterpret_cast<Fn>(library.Symbol(name));
  if (fn == nullptr) error = std::string("the library does not export ") + name;
  return fn != nullptr;
}

}  // namespace

bool LibraryApi::Load(const std::string& path, std::string& error) {
  const std::string file = path.empty() ? DefaultLibraryPath() : path;
  if (!library_.Open(file)) {
    error = "cannot load " + file + ": " + library_.LastError();
    return false;
  }
  return Bind(library_, "GetCryptList", getCryptList, error);
}

}  // namespace qorvcrypt
