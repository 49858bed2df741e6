// ChangeCAPassword: the provider changes the passwords of the user's keys; keys that
// the store holds then have their new passwords recorded, whether they came from the
// store or the request named them.
#include <optional>
#include <string>

#include "interface/CryptManage.h"
#include "interface/ParamString.h"
#include "operations/OperationHelpers.h"
#include "operations/ProviderCallSequence.h"
#include "operations/StoredCredentials.h"
#include "platform/FileSystem.h"
#include "store/StoreNames.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"
#include "util/PathText.h"

namespace qorv {
namespace {

// Whether the request's key file under key is the stored one, by the host's path rules.
bool NamesStoredFile(const std::string& params, const std::string& key, const std::string& stored) {
  const std::string named = GetParamValue(params, key);
  return !named.empty() && !stored.empty() && SamePathText(FullPath(named), FullPath(stored), HostPathRules());
}

}  // namespace

bool TCryptmanage::ChangeCAPassword(std::string& params) {
  if (!CheckConfig(params) || !RequireCertificateMode(params) || !UserMayUseStores(*this, params)) return false;

  ProviderRequest request;
  const std::string newEncKeyPwd = GetParamValue(params, "NewEncKeyPwd");
  const std::string newSignKeyPwd = GetParamValue(params, "NewSignKeyPwd");
  // Which keys the store holds, whose new passwords it must then record.
  bool recordEnc = false;
  bool recordSign = false;
  // Held from the reading of the stored set to the recording of the new passwords, the
  // provider's whole call between: no other change of the store comes in between.
  std::optional<StoreHold> hold;
  // Only certificate-file mode gives the provider key files with their current
  // passwords: the request's own, or else the stored set's.
  if (Config().FCAMode == "1") {
    const bool requestNamesKeys = HasKeyFiles(params, HasTwoPairs());
    const bool storeExists =
        IsSafeStoreName(StoreType()) && IsSafeStoreName(User()) && platform::FileExists(SetFileName(*this));
    if (!requestNamesKeys && !storeExists) {
      if (!StoreNamesAreSafe({StoreType(), User()}, params)) return false;
      return Refuse(params, msg::PasswordChangeCertificateMissing());
    }
    if (storeExists) hold.emplace(*this, TStoreLock::Mode::Change);
    const TUserCaFile set(StoreType(), User(), HasTwoPairs());
    if (requestNamesKeys) {
      request.init = WithDefaultRootCert(Config(), params);
      recordEnc = storeExists && NamesStoredFile(params, "EncKeyFile", set.FEncKeyFile);
      recordSign = storeExists && HasTwoPairs() && NamesStoredFile(params, "SignKeyFile", set.FSignKeyFile);
    } else {
      if (!set.FilesPresent()) return Refuse(params, msg::PasswordChangeCertificateMissing());
      request.init = set.PutToParams("");
      recordEnc = true;
      recordSign = HasTwoPairs();
    }
    if (recordEnc || recordSign) {
      // Refused before the provider changes anything: keys whose passwords the store
      // cannot take would be lost to the user.
      if (!hold->Held()) return Refuse(params, msg::StoredKeyPasswordsNotWritable());
      if ((recordEnc && !TPasswordParams::FitsTheStore(newEncKeyPwd)) ||
          (recordSign && !TPasswordParams::FitsTheStore(newSignKeyPwd))) {
        return Refuse(params, msg::PasswordTooLongToStore());
      }
    }
  }
  request.init = SetParamValue(request.init, "User", User());
  request.init = Config().AppendDescription(request.init);

  request.operation = &TCryptDll::ChangeCAPassword;
  request.operationText = SetParamValue("", "EncKeyPwd", newEncKeyPwd);
  if (HasTwoPairs()) request.operationText = SetParamValue(request.operationText, "SignKeyPwd", newSignKeyPwd);
  if (recordEnc || recordSign) {
    // Recorded only once the provider has changed the keys; a key the request named
    // elsewhere keeps its stored password. A refused write leaves the store with
    // passwords the keys no longer have, which the caller must hear about.
    request.onSuccess = [&](const std::string&, std::string& callerParams) {
      TUserCaFile set(StoreType(), User(), HasTwoPairs());
      return set.SavePasswords(recordEnc ? newEncKeyPwd : set.FEncKeyPwd,
                               recordSign ? newSignKeyPwd : set.FSignKeyPwd) ||
             Refuse(callerParams, msg::NewKeyPasswordsNotRecorded());
    };
  }
  return RunProviderSequence(Config(), request, params);
}

}  // namespace qorv
