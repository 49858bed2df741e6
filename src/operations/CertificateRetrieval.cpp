// GetCertFile: hands the user's stored certificates out. In certificate-file mode they
// are copied to the destinations the request names; in USB-key mode the provider
// produces them from the key.
#include <string>

#include "interface/CryptManage.h"
#include "interface/ParamString.h"
#include "operations/OperationHelpers.h"
#include "operations/ProviderCallSequence.h"
#include "operations/StoredCredentials.h"
#include "platform/FileSystem.h"
#include "platform/PathServices.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"
#include "util/PathText.h"

namespace qorv {
namespace {

// Copies the stored certificate under key to the request's destination of that key,
// or names the stored file in the reply when the request gives none.
bool HandOutCertificate(const std::string& key, const std::string& stored, const std::string& missingMessage,
                        const std::string& copyFailedMessage, std::string& params) {
  const std::string source = GetParamValue(stored, key);
  if (source.empty() || !platform::FileExists(source)) return Refuse(params, missingMessage);
  const std::string destination = GetParamValue(params, key);
  if (destination.empty()) {
    params = SetParamValue(params, key, source);
    return true;
  }
  // Copying a file onto itself would destroy it. Letter case counts where the file
  // system says it does.
  if (SamePathText(FullPath(destination), source, HostPathRules())) return true;
  // A read-only file in the way is replaced.
  if (platform::FileExists(destination)) platform::MakeFileNormal(destination);
  return platform::CopyFileReplacing(source, destination) || Refuse(params, copyFailedMessage);
}

// The provider's string becomes the reply whole, on failure too; load and InitCrypt
// failures are reported as in every provider sequence.
bool CertificatesFromKey(const TCryptmanage& manager, const std::string& stored, std::string& params) {
  ProviderRequest request;
  request.init = manager.Config().AppendDescription(SetParamValue(stored, "User", manager.User()));
  request.operation = &TCryptDll::GetUSBCertFile;
  request.operationText = params;
  request.replyWhole = true;
  return RunProviderSequence(manager.Config(), request, params);
}

}  // namespace

bool TCryptmanage::GetCertFile(std::string& params) {
  if (!CheckConfig(params) || !RequireCertificateMode(params)) return false;
  if (!StoreNamesAreSafe({CryptType(), User()}, params)) return false;
  const std::string stored = TUserCaFile(CryptType(), User(), HasTwoPairs()).PutToParams("");

  if (Config().FCAMode == "0") return CertificatesFromKey(*this, stored, params);

  // Any other CAMODE keeps its certificates as files. The signing file is looked at
  // only once the encryption file has been handed out.
  return HandOutCertificate("EncCertFile", stored, msg::EncCertificateNotFound(), msg::EncCertificateCopyFailed(),
                            params) &&
         (!HasTwoPairs() || HandOutCertificate("SignCertFile", stored, msg::SignCertificateNotFound(),
                                               msg::SignCertificateCopyFailed(), params));
}

}  // namespace qorv
