// The adapter between the operations and one provider library: loads it, binds its
// functions by name, calls them through a parameter-string buffer with every fault
// inside the provider turned into a message, and unloads it.
#pragma once

#include <optional>
#include <string>

#include "QorvCryptProvider.h"
#include "platform/CurrentDirectory.h"
#include "platform/DynamicLibrary.h"
#include "platform/FaultGuard.h"

namespace qorv {

class TCryptDll {
 public:
  // Loads the library if a file exists at libPath; IsLoaded tells whether it did.
  explicit TCryptDll(std::string libPath);
  ~TCryptDll();
  TCryptDll(const TCryptDll&) = delete;
  TCryptDll& operator=(const TCryptDll&) = delete;

  bool IsLoaded() const { return FHandle.IsOpen(); }

  // One call per provider function: params goes in and comes back as the provider left
  // it (no more than the call buffer's size); the result is the provider's. InitCrypt
  // receives the window handle of the export running on this thread. A fault or a missing required function gives false
  // with ResultMsgStr set in params as it was; a missing optional function, false with
  // the not-supported message.
  bool InitCrypt(std::string& params);
  bool Encrypt(std::string& params);
  bool Decrypt(std::string& params);
  bool FinalCrypt(std::string& params);
  bool GetUSBCertFile(std::string& params);
  bool CreateCAFile(std::string& params);
  bool ChangeCAPassword(std::string& params);
  bool ValidateCert(std::string& params);

 private:
  void LoadProvider();
  void BindFunctions();
  void UnloadProvider();
  bool CallProvider(const char* name, QorvProviderFn entry, QorvProviderInitFn initEntry, bool optional,
                    std::string& params);

  // From before the load to after the unload: the provider may move the directory.
  std::optional<platform::CurrentDirectoryKeeper> FCurrentDirectory;
  platform::DynamicLibrary FHandle;
  // Held from load to unload, so that the calls in between share one fault set-up and
  // the handlers the provider leaves are gone before it is.
  std::optional<platform::FaultGuardScope> FGuard;
  std::string FLibPath;
  QorvProviderInitFn FInitCrypt = nullptr;
  QorvProviderFn FEncrypt = nullptr;
  QorvProviderFn FDecrypt = nullptr;
  QorvProviderFn FFinalCrypt = nullptr;
  QorvProviderFn FCreateCAFile = nullptr;
  QorvProviderFn FGetUSBCertFile = nullptr;
  QorvProviderFn FChangeCAPassword = nullptr;
  QorvProviderFn FValidateCert = nullptr;
};

}  // namespace qorv
