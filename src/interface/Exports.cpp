// The library's exported functions. Nothing thrown inside may cross into the host:
// every export answers with its Boolean whatever happens.
#include "QorvCryptManage.h"
#include "interface/ExportFrame.h"

using qorv::RunManagerExport;
using qorv::RunManagerExportEx;
using qorv::TCryptmanage;
using qorv::TextOrEmpty;

namespace {

// The file names are copied inside the frame, where a failure becomes a result; the
// operations hold no more than the frame's std::function keeps without allocating.
qorv::ManagerOperation EncryptOperation(const char* sourceFile, const char* targetFile) {
  return [sourceFile, targetFile](TCryptmanage& m, std::string& p) {
    return m.Encrypt(TextOrEmpty(sourceFile), TextOrEmpty(targetFile), p);
  };
}

qorv::ManagerOperation DecryptOperation(const char* sourceFile, const char* targetFile) {
  return [sourceFile, targetFile](TCryptmanage& m, std::string& p) {
    return m.Decrypt(TextOrEmpty(sourceFile), TextOrEmpty(targetFile), p);
  };
}

// The operation of each export that takes a request alone, by the manager's method.
qorv::ManagerOperation Operation(bool (TCryptmanage::*method)(std::string&)) {
  return [method](TCryptmanage& m, std::string& p) { return (m.*method)(p); };
}

}  // namespace

extern "C" {

QORVCRYPT_API unsigned char QORVCRYPT_CALL Encrypt(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                   const char* User, const char* SourceFile, const char* TargetFile,
                                                   char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params, EncryptOperation(SourceFile, TargetFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL Decrypt(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                   const char* User, const char* SourceFile, const char* TargetFile,
                                                   char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params, DecryptOperation(SourceFile, TargetFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptInfo(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                        const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params, Operation(&TCryptmanage::GetCryptInfo));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL SetCaFile(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                     const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params, Operation(&TCryptmanage::SetCaFile));
}

// The server's certificates belong to no user: the manager runs with an empty one.
QORVCRYPT_API unsigned char QORVCRYPT_CALL SetRevenueCAFile(uintptr_t Handle, const char* ConfigFile,
                                                            const char* CryptType, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, nullptr, Params, Operation(&TCryptmanage::SetRevenueCAFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCertFile(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                       const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params, Operation(&TCryptmanage::GetCertFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL CreateCAFile(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                        const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params, Operation(&TCryptmanage::CreateCAFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ChangeCAPassword(uintptr_t Handle, const char* ConfigFile,
                                                            const char* CryptType, const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params, Operation(&TCryptmanage::ChangeCAPassword));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ValidateCert(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                        const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params, Operation(&TCryptmanage::ValidateCert));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL SetCryptParams(uintptr_t Handle, const char* ConfigFile,
                                                          const char* CryptType, const char* User, char** Params) {
  return RunManagerExport(Handle, ConfigFile, CryptType, User, Params, Operation(&TCryptmanage::SetCryptParams));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptList(uintptr_t Handle, const char* ConfigFile, char* List,
                                                        char** Params) {
  return qorv::RunListExport(Handle, ConfigFile, List, Params);
}

// The twins whose replies the library allocates.

QORVCRYPT_API unsigned char QORVCRYPT_CALL EncryptEx(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                     const char* User, const char* SourceFile, const char* TargetFile,
                                                     const char* Request, char** Reply) {
  return RunManagerExportEx(Handle, ConfigFile, CryptType, User, Request, Reply,
                            EncryptOperation(SourceFile, TargetFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL DecryptEx(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                     const char* User, const char* SourceFile, const char* TargetFile,
                                                     const char* Request, char** Reply) {
  return RunManagerExportEx(Handle, ConfigFile, CryptType, User, Request, Reply,
                            DecryptOperation(SourceFile, TargetFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptInfoEx(uintptr_t Handle, const char* ConfigFile,
                                                          const char* CryptType, const char* User, const char* Request,
                                                          char** Reply) {
  return RunManagerExportEx(Handle, ConfigFile, CryptType, User, Request, Reply,
                            Operation(&TCryptmanage::GetCryptInfo));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL SetCaFileEx(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                       const char* User, const char* Request, char** Reply) {
  return RunManagerExportEx(Handle, ConfigFile, CryptType, User, Request, Reply, Operation(&TCryptmanage::SetCaFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL SetRevenueCAFileEx(uintptr_t Handle, const char* ConfigFile,
                                                              const char* CryptType, const char* Request,
                                                              char** Reply) {
  return RunManagerExportEx(Handle, ConfigFile, CryptType, nullptr, Request, Reply,
                            Operation(&TCryptmanage::SetRevenueCAFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCertFileEx(uintptr_t Handle, const char* ConfigFile,
                                                         const char* CryptType, const char* User, const char* Request,
                                                         char** Reply) {
  return RunManagerExportEx(Handle, ConfigFile, CryptType, User, Request, Reply, Operation(&TCryptmanage::GetCertFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL CreateCAFileEx(uintptr_t Handle, const char* ConfigFile,
                                                          const char* CryptType, const char* User, const char* Request,
                                                          char** Reply) {
  return RunManagerExportEx(Handle, ConfigFile, CryptType, User, Request, Reply,
                            Operation(&TCryptmanage::CreateCAFile));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ChangeCAPasswordEx(uintptr_t Handle, const char* ConfigFile,
                                                              const char* CryptType, const char* User,
                                                              const char* Request, char** Reply) {
  return RunManagerExportEx(Handle, ConfigFile, CryptType, User, Request, Reply,
                            Operation(&TCryptmanage::ChangeCAPassword));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ValidateCertEx(uintptr_t Handle, const char* ConfigFile,
                                                          const char* CryptType, const char* User, const char* Request,
                                                          char** Reply) {
  return RunManagerExportEx(Handle, ConfigFile, CryptType, User, Request, Reply,
                            Operation(&TCryptmanage::ValidateCert));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL SetCryptParamsEx(uintptr_t Handle, const char* ConfigFile,
                                                            const char* CryptType, const char* User,
                                                            const char* Request, char** Reply) {
  return RunManagerExportEx(Handle, ConfigFile, CryptType, User, Request, Reply,
                            Operation(&TCryptmanage::SetCryptParams));
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptListEx(uintptr_t Handle, const char* ConfigFile, char** List,
                                                          const char* Request, char** Reply) {
  return qorv::RunListExportEx(Handle, ConfigFile, List, Request, Reply);
}

QORVCRYPT_API void QORVCRYPT_CALL QorvFreeText(char* Text) { qorv::FreeText(Text); }

// The text is a literal: nothing can fail, and the host never frees it.
QORVCRYPT_API unsigned char QORVCRYPT_CALL QorvGetVersion(const char** Version) {
  if (Version == nullptr) return 0;
  *Version = QORV_LIBRARY_VERSION;
  return 1;
}

}  // extern "C"
