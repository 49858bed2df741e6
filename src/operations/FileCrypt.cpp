// Encrypt and Decrypt: gather the credentials the crypto type's mode needs, then let the
// provider turn the source file into the target file.
#include <optional>
#include <string>

#include "interface/CryptManage.h"
#include "interface/ParamString.h"
#include "operations/ProviderCallSequence.h"
#include "operations/StoredCredentials.h"
#include "util/Messages.h"

namespace qorv {

bool TCryptmanage::Encrypt(const std::string& sourceFile, const std::string& targetFile, std::string& params) {
  return CryptFile(true, sourceFile, targetFile, params);
}

bool TCryptmanage::Decrypt(const std::string& sourceFile, const std::string& targetFile, std::string& params) {
  return CryptFile(false, sourceFile, targetFile, params);
}

bool TCryptmanage::CryptFile(bool encrypt, const std::string& sourceFile, const std::string& targetFile,
                             std::string& params) {
  if (!CheckConfig(params) || !UserMayUseStores(*this, params)) return false;

  ProviderRequest request;
  // In certificate mode the provider works on the stored files, held as the set file
  // names them for its whole call.
  std::optional<StoreHold> hold;
  if (IsCertificateMode()) {
    if (!CertificateNamesAreSafe(*this, params)) return false;
    hold.emplace(*this, TStoreLock::Mode::Read);
    StoredCertificates stored(*this);
    if (!stored.revenue.FilesPresent()) {
      params = SetParamValue(params, "ResultMsgStr", msg::ServerCertificateMissing());
      return false;
    }
    request.init = stored.revenue.PutToParams(request.init);
    // Encrypt checks the user's set unless in USB-key mode; Decrypt only in
    // certificate-file mode.
    const bool check = encrypt ? Config().FCAMode != "0" : Config().FCAMode == "1";
    if (check && !stored.user.FilesPresent()) {
      params = SetParamValue(params, "ResultMsgStr", msg::UserCertificateMissing());
      return false;
    }
    request.init = stored.user.PutToParams(request.init);
  } else if (IsPasswordMode()) {
    StoredPassword stored(*this);
    if (!stored.NamesAreSafe(params)) return false;
    request.init = stored.password.PutToParams(request.init);
  }
  request.init = SetParamValue(request.init, "User", User());
  request.init = Config().AppendDescription(request.init);
  request.reapplyExtParams = true;

  request.operation = encrypt ? &TCryptDll::Encrypt : &TCryptDll::Decrypt;
  request.operationText = SetParamValue(request.operationText, "User", User());
  request.operationText = SetParamValue(request.operationText, "SourceFile", sourceFile);
  request.operationText = SetParamValue(request.operationText, "TargetFile", targetFile);
  request.operationText = WithExtParams(Config(), request.operationText);
  return RunProviderSequence(Config(), request, params);
}

}  // namespace qorv
