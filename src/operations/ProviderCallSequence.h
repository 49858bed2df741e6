// The fixed order in which every provider-backed operation talks to its provider:
// load, InitCrypt, one operation function, FinalCrypt, unload.
#pragma once

#include <functional>
#include <string>

#include "config/CryptConfig.h"
#include "provider/CryptDll.h"

namespace qorv {

struct ProviderRequest {
  // Credentials, User and the crypto type description, for InitCrypt.
  std::string init;
  // Encrypt and Decrypt set the extension parameters into init once more after loading.
  bool reapplyExtParams = false;
  // The operation function and the string it receives.
  bool (TCryptDll::*operation)(std::string&) = nullptr;
  std::string operationText;
  // The string the operation function returns becomes the caller's whole, whatever
  // its result (instead of only its message on failure).
  bool replyWhole = false;
  // Runs when the operation function reports true, with the string it returned; its
  // result becomes the operation's. FinalCrypt follows it.
  std::function<bool(const std::string& reply, std::string& callerParams)> onSuccess;
};

// Runs the sequence for the crypto type's provider. Every failure sets ResultMsgStr in
// callerParams (the load message, or the provider's own message) and gives false.
// FinalCrypt runs on every path after a successful InitCrypt, and never otherwise.
bool RunProviderSequence(const TCryptConfig& config, ProviderRequest& request, std::string& callerParams);

// Sets every extension parameter of the crypto type into params, in file order.
std::string WithExtParams(const TCryptConfig& config, std::string params);

}  // namespace qorv
