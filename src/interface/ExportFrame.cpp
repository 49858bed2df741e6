#include "interface/ExportFrame.h"

#include <cstring>

#include "interface/AppWindow.h"
#include "interface/ParamString.h"
#include "util/Messages.h"

namespace qorv {

std::string TextOrEmpty(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

void CopyToCaller(char* buffer, const std::string& text) { std::memcpy(buffer, text.c_str(), text.size() + 1); }

unsigned char RunManagerExport(uintptr_t handle, const char* configFile, const char* cryptType, const char* user,
                               char** params, const ManagerOperation& operation) {
  SetAppWindowHandle(handle);
  if (params == nullptr || *params == nullptr) return 0;
  try {
    // The manager lives until the reply is copied, and is released on every path.
    TCryptmanage manager(TextOrEmpty(cryptType), TextOrEmpty(configFile), TextOrEmpty(user));
    std::string working(*params);
    const bool ok = operation(manager, working);
    CopyToCaller(*params, working);
    return ok ? 1 : 0;
  } catch (...) {
    try {
      CopyToCaller(*params, SetParamValue(*params, "ResultMsgStr", msg::UnexpectedError()));
    } catch (...) {
      // Not even the message could be built: the caller's text stays as it was.
    }
    return 0;
  }
}

}  // namespace qorv
