// SetCaFile and SetRevenueCAFile: copy the certificate files a request names into the
// store and record them; in USB-key mode the user's set records the key passwords only.
// Each save is one step under the store's lock (store/CaFile.h): a failure leaves the
// stored set as it was.
#include <string>

#include "interface/CryptManage.h"
#include "operations/OperationHelpers.h"
#include "operations/StoredCredentials.h"
#include "util/Messages.h"

namespace qorv {

bool TCryptmanage::SetCaFile(std::string& params) {
  if (!CheckConfig(params) || !RequireCertificateMode(params) || !UserMayUseStores(*this, params)) return false;

  if (Config().FCAMode == "1") {
    // The configured root certificate stands in for a blank one, in the reply too,
    // whatever follows.
    params = WithDefaultRootCert(Config(), params);
    if (!StoreNamesWritable({StoreType(), User()}, params)) return false;
    TUserCaFile set(StoreType(), User(), HasTwoPairs());
    // The request's values replace the stored ones, absent keys included.
    set.TakeFromParams(params);
    if (!set.FilesPresent()) return Refuse(params, msg::UserCertificateFilesNotFound());
    if (!set.SaveToIni()) return Refuse(params, SaveFailureMessage(set, msg::UserCertificateFilesSaveFailed()));
    params = set.PutToParams(params);
    return true;
  }

  if (Config().FCAMode == "0") {
    // The certificates stay on the key: no file is looked at or copied.
    if (!StoreNamesWritable({StoreType(), User()}, params)) return false;
    TUserCaFile set(StoreType(), User(), HasTwoPairs());
    set.TakeFromParams(params);
    if (!set.SavePasswords(set.FEncKeyPwd, set.FSignKeyPwd)) {
      return Refuse(params, SaveFailureMessage(set, msg::UserCertificatePasswordsSaveFailed()));
    }
    params = set.PutToParams(params);
    return true;
  }

  // No certificate mode to install for: refused, the request untouched.
  return false;
}

bool TCryptmanage::SetRevenueCAFile(std::string& params) {
  if (!CheckConfig(params) || !RequireCertificateMode(params)) return false;

  const std::string section = RevenueSection(Config());
  if (!StoreNamesWritable({StoreType(), section}, params)) return false;
  TRevenueCaFile record(StoreType(), section, HasTwoPairs());
  record.TakeFromParams(params);
  if (!record.FilesPresent()) return Refuse(params, msg::ServerCertificateFilesNotFound());
  if (!record.SaveToIni()) return Refuse(params, SaveFailureMessage(record, msg::ServerCertificateFilesSaveFailed()));
  params = record.PutToParams(params);
  return true;
}

}  // namespace qorv
