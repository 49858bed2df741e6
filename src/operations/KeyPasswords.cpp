// ChangeCAPassword: the provider changes the passwords of the user's keys; a set that
// came from the store then records the new passwords.
#include <string>

#include "interface/CryptManage.h"
#include "interface/ParamString.h"
#include "operations/OperationHelpers.h"
#include "operations/ProviderCallSequence.h"
#include "operations/StoredCredentials.h"
#include "util/Messages.h"

namespace qorv {

bool TCryptmanage::ChangeCAPassword(std::string& params) {
  if (!CheckConfig(params) || !RequireCertificateMode(params)) return false;

  ProviderRequest request;
  bool fromStore = false;
  // Only certificate-file mode gives the provider key files with their current
  // passwords: the request's own, or else the stored set's.
  if (Config().FCAMode == "1" &&
      !KeyFilesForProvider(*this, params, msg::PasswordChangeCertificateMissing(), request.init, fromStore)) {
    return false;
  }
  request.init = SetParamValue(request.init, "User", User());
  request.init = Config().AppendDescription(request.init);

  const std::string newEncKeyPwd = GetParamValue(params, "NewEncKeyPwd");
  const std::string newSignKeyPwd = GetParamValue(params, "NewSignKeyPwd");
  request.operation = &TCryptDll::ChangeCAPassword;
  request.operationText = SetParamValue("", "EncKeyPwd", newEncKeyPwd);
  if (HasTwoPairs()) request.operationText = SetParamValue(request.operationText, "SignKeyPwd", newSignKeyPwd);
  if (fromStore) {
    // Recorded only once the provider has changed the keys. A refused write leaves the
    // store with passwords the keys no longer have, which the caller must hear about.
    request.onSuccess = [&](const std::string&, std::string& callerParams) {
      TUserCaFile set(CryptType(), User(), HasTwoPairs());
      return set.SavePasswords(newEncKeyPwd, newSignKeyPwd) || Refuse(callerParams, msg::NewKeyPasswordsNotRecorded());
    };
  }
  return RunProviderSequence(Config(), request, params);
}

}  // namespace qorv
