// GetCertFile: hands the user's stored certificates out. In certificate-file mode they
// are copied to the destinations the request names; in USB-key mode the provider
// produces them from the key.
#include <string>

#include "interface/CryptManage.h"
#include "interface/ParamString.h"
#include "operations/OperationHelpers.h"
#include "operations/ProviderCallSequence.h"
#include "operations/StoredCredentials.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "store/CertFileInstall.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"
#include "util/PathText.h"

namespace qorv {
namespace {

// Copies the stored certificate under key to the request's destination of that key,
// or names the stored file in the reply when the request gives none. The copy goes into
// a new file of its own beside the destination, which it then replaces: a link at the
// destination is replaced itself, never written through.
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
  const std::string target = FullPath(destination);
  if (SamePathText(target, source, HostPathRules())) return true;
  std::string copy;
  platform::CopySource why = platform::CopySource::Ok;
  if (!platform::CopyToNewFile(source, FolderPart(target, HostPathRules()), false, kMaxCertificateFileBytes, copy,
                               why)) {
    return Refuse(params, copyFailedMessage);
  }
  if (platform::MoveReplacing(copy, target)) return true;
  platform::RemoveFile(copy);
  return Refuse(params, copyFailedMessage);
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
  if (!CheckConfig(params) || !RequireCertificateMode(params) || !UserMayUseStores(*this, params)) return false;
  if (!StoreNamesAreSafe({StoreType(), User()}, params)) return false;
  // The stored files are handed out as the set on file names them.
  const StoreHold hold(*this, TStoreLock::Mode::Read);
  const std::string stored = TUserCaFile(StoreType(), User(), HasTwoPairs()).PutToParams("");

  if (Config().FCAMode == "0") return CertificatesFromKey(*this, stored, params);

  // Any other CAMODE keeps its certificates as files. The signing file is looked at
  // only once the encryption file has been handed out.
  return HandOutCertificate("EncCertFile", stored, msg::EncCertificateNotFound(), msg::EncCertificateCopyFailed(),
                            params) &&
         (!HasTwoPairs() || HandOutCertificate("SignCertFile", stored, msg::SignCertificateNotFound(),
                                               msg::SignCertificateCopyFailed(), params));
}

}  // namespace qorv
