// A deployment in a temporary folder, used as a host program uses the library: a copy
// of the built library (so that its CA folder is this deployment's own), loaded by path
// with its exports found by name, a crypto configuration and the test provider.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "QorvCryptManage.h"
#include "platform/DynamicLibrary.h"
#include "support/ConfigXml.h"
#include "support/TempDir.h"
#include "support/TestProvider.h"

namespace qorv::test {

struct ExportReply {
  unsigned char ok = 0;
  std::string params;
};

class Deployment {
 public:
  // How the host names the library when it loads it: by its full path, or by a name
  // relative to the current directory of that moment (the directory is put back after).
  enum class LoadBy { FullPath, NameInItsFolder };
  explicit Deployment(LoadBy loadBy = LoadBy::FullPath);
  // Another process's view of a deployment: the library copy in libraryDir (a
  // LibraryDir()) and the configuration at configPath, used as they are.
  Deployment(const std::string& libraryDir, const std::string& configPath);

  const TempDir& dir() const { return dir_; }
  // The folder of the library copy: its CA folder holds the stores.
  std::string LibraryDir() const;
  ProviderScript& script() { return script_; }

  // Writes the configuration; every entry without a LIBPATH gets the test provider, and
  // every entry gets the TestScript extension parameter last.
  std::string WriteConfig(std::vector<CryptEntry> entries);
  const std::string& configPath() const { return configPath_; }

  // Calls an export with the deployment's configuration and a generous reply buffer.
  ExportReply Encrypt(const std::string& type, const std::string& user, const std::string& source,
                      const std::string& target, const std::string& params, uintptr_t handle = 0);
  ExportReply Decrypt(const std::string& type, const std::string& user, const std::string& source,
                      const std::string& target, const std::string& params, uintptr_t handle = 0);
  ExportReply GetCryptInfo(const std::string& type, const std::string& user, const std::string& params,
                           uintptr_t handle = 0);
  ExportReply SetCaFile(const std::string& type, const std::string& user, const std::string& params);
  ExportReply GetCertFile(const std::string& type, const std::string& user, const std::string& params);
  ExportReply CreateCAFile(const std::string& type, const std::string& user, const std::string& params);
  ExportReply ChangeCAPassword(const std::string& type, const std::string& user, const std::string& params);
  ExportReply ValidateCert(const std::string& type, const std::string& user, const std::string& params);
  ExportReply SetCryptParams(const std::string& type, const std::string& user, const std::string& params);
  ExportReply SetRevenueCAFile(const std::string& type, const std::string& params);

  // An export of the library copy by name, or null.
  template <typename Fn>
  Fn Find(const char* name) const {
    return reinterpret_cast<Fn>(library_.Symbol(name));
  }

  QorvGetCryptListFn getCryptList = nullptr;
  QorvCryptFileFn encrypt = nullptr;
  QorvCryptFileFn decrypt = nullptr;
  QorvUserRequestFn getCryptInfo = nullptr;
  QorvUserRequestFn setCaFile = nullptr;
  QorvUserRequestFn getCertFile = nullptr;
  QorvUserRequestFn createCAFile = nullptr;
  QorvUserRequestFn changeCAPassword = nullptr;
  QorvUserRequestFn validateCert = nullptr;
  QorvUserRequestFn setCryptParams = nullptr;
  QorvTypeRequestFn setRevenueCAFile = nullptr;

 private:
  ExportReply UserRequest(QorvUserRequestFn fn, const std::string& type, const std::string& user,
                          const std::string& params);

  void BindExports();

  TempDir dir_;
  ProviderScript script_{dir_};
  std::string libraryDir_;
  platform::DynamicLibrary library_;
  std::string configPath_;
};

// Calls fn with a reply buffer holding params and room to spare.
template <typename Call>
ExportReply CallWithBuffer(const std::string& params, Call call) {
  std::vector<char> buffer(params.begin(), params.end());
  buffer.resize(params.size() + 65536, '\0');
  char* text = buffer.data();
  ExportReply reply;
  reply.ok = call(&text);
  reply.params = text;
  return reply;
}

}  // namespace qorv::test
