// The library's exported functions. Nothing thrown inside may cross into the host:
// every export answers with its Boolean whatever happens.
#include "QorvCryptManage.h"

#include "config/CryptList.h"
#include "interface/AppWindow.h"
#include "interface/ExportFrame.h"
#include "interface/ParamString.h"
#include "util/Messages.h"

using qorv::CopyToCaller;
using qorv::RunManagerExport;
using qorv::TCryptmanage;
using qorv::TextOrEmpty;

extern "C" {

QORVCRYPT_API unsigned char QORVCRYPT_CALL Encrypt(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                   const char* User, const char* SourceFile, const char* TargetFile,
                                                   char** Params) {
  const std::string source = TextOrEmpty(SourceFile);
  const std::string target = TextOrEmpty(TargetFile);
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params,
                          [&](TCryptmanage& m, std::string& p) { return m.Encrypt(source, target, p); });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL Decrypt(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                   const char* User, const char* SourceFile, const char* TargetFile,
                                                   char** Params) {
  const std::string source = TextOrEmpty(SourceFile);
  const std::string target = TextOrEmpty(TargetFile);
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params,
                          [&](TCryptmanage& m, std::string& p) { return m.Decrypt(source, target, p); });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptInfo(uintptr_t Handle, const char* ConfigFile,
                                                        const char* CryptType, const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params,
                          [](TCryptmanage& m, std::string& p) { return m.GetCryptInfo(p); });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL SetCaFile(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                     const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params,
                          [](TCryptmanage& m, std::string& p) { return m.SetCaFile(p); });
}

// The server's certificates belong to no user: the manager runs with an empty one.
QORVCRYPT_API unsigned char QORVCRYPT_CALL SetRevenueCAFile(uintptr_t Handle, const char* ConfigFile,
                                                            const char* CryptType, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, nullptr, Params,
                          [](TCryptmanage& m, std::string& p) { return m.SetRevenueCAFile(p); });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCertFile(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                       const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params,
                          [](TCryptmanage& m, std::string& p) { return m.GetCertFile(p); });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL CreateCAFile(uintptr_t Handle, const char* ConfigFile,
                                                        const char* CryptType, const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params,
                          [](TCryptmanage& m, std::string& p) { return m.CreateCAFile(p); });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ChangeCAPassword(uintptr_t Handle, const char* ConfigFile,
                                                            const char* CryptType, const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params,
                          [](TCryptmanage& m, std::string& p) { return m.ChangeCAPassword(p); });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ValidateCert(uintptr_t Handle, const char* ConfigFile,
                                                        const char* CryptType, const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params,
                          [](TCryptmanage& m, std::string& p) { return m.ValidateCert(p); });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL SetCryptParams(uintptr_t Handle, const char* ConfigFile,
                                                          const char* CryptType, const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params,
                          [](TCryptmanage& m, std::string& p) { return m.SetCryptParams(p); });
}

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

// The text is a literal: nothing can fail, and the host never frees it.
QORVCRYPT_API unsigned char QORVCRYPT_CALL QorvGetVersion(const char** Version) {
  if (Version == nullptr) return 0;
  *Version = QORV_LIBRARY_VERSION;
  return 1;
}

}  // extern "C"
