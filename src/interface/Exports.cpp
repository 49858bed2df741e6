// The library's exported functions. Nothing thrown inside may cross into the host:
// every export answers with its Boolean whatever happens.
#include "QorvCryptManage.h"

#include <cstring>
#include <exception>
#include <string>

#include "config/CryptList.h"
#include "interface/AppWindow.h"
#include "interface/ParamString.h"
#include "util/Messages.h"

namespace {

std::string TextOrEmpty(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

void CopyToCaller(char* buffer, const std::string& text) { std::memcpy(buffer, text.c_str(), text.size() + 1); }

}  // namespace

extern "C" {

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptList(uintptr_t Handle, const char* ConfigFile, char* List,
                                                        char** Params) {
  qorv::SetAppWindowHandle(Handle);
  // Without a reply buffer there is nowhere to answer: refuse and write nothing.
  if (Params == nullptr || *Params == nullptr) return 0;
  try {
    if (List == nullptr) {
      CopyToCaller(*Params, qorv::SetParamValue("", "ResultMsgStr", qorv::msg::ListBufferMissing()));
      return 0;
    }
    const qorv::CryptListResult result = qorv::ListCryptTypes(TextOrEmpty(ConfigFile));
    if (result.ok) CopyToCaller(List, result.list);
    CopyToCaller(*Params, result.params);
    return result.ok ? 1 : 0;
  } catch (...) {
    try {
      CopyToCaller(*Params, qorv::SetParamValue("", "ResultMsgStr", qorv::msg::UnexpectedError()));
    } catch (...) {
    }
    return 0;
  }
}

}  // extern "C"
