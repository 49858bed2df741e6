// SetCaFile and SetRevenueCAFile: copy the certificate files a request names into the
// store and record them; in USB-key mode the user's set records the key passwords only.
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "interface/CryptManage.h"
#include "operations/OperationHelpers.h"
#include "operations/StoredCredentials.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"
#include "util/PathText.h"

namespace qorv {
namespace {

// The files of a set's folder that a save is about to overwrite. A save that fails part
// way puts them back: the record still on file names these copies, and a mixture of
// old and new files would no longer fit its passwords or each other. Copies with new
// names stay behind unused.
class CertDirSnapshot {
 public:
  CertDirSnapshot(const std::string& certDir, std::initializer_list<const std::string*> sources) {
    for (const std::string* source : sources) {
      if (source->empty()) continue;
      // Where the store's import puts the copy; a file already in place is not copied.
      const std::string target = certDir + FileNamePart(*source, HostPathRules());
      if (SamePathText(FullPath(target), FullPath(*source), HostPathRules())) continue;
      std::string bytes;
      if (platform::FileExists(target) && platform::ReadWholeFile(target, bytes)) {
        FSaved.emplace_back(target, std::move(bytes));
      }
    }
  }

  void Restore() const {
    for (const auto& [target, bytes] : FSaved) platform::WriteFileAtomically(target, bytes);
  }

 private:
  std::vector<std::pair<std::string, std::string>> FSaved;
};

}  // namespace

bool TCryptmanage::SetCaFile(std::string& params) {
  if (!CheckConfig(params) || !RequireCertificateMode(params)) return false;

  if (Config().FCAMode == "1") {
    // The configured root certificate stands in for a blank one, in the reply too,
    // whatever follows.
    params = WithDefaultRootCert(Config(), params);
    if (!StoreNamesWritable({CryptType(), User()}, params)) return false;
    TUserCaFile set(CryptType(), User(), HasTwoPairs());
    // The request's values replace the stored ones, absent keys included.
    set.TakeFromParams(params);
    if (!set.FilesPresent()) return Refuse(params, msg::UserCertificateFilesNotFound());
    const CertDirSnapshot before(set.CertDir(), {&set.FRootCertFile, &set.FEncCertFile, &set.FEncKeyFile,
                                                 &set.FSignCertFile, &set.FSignKeyFile});
    if (!set.SaveToIni()) {
      before.Restore();
      return Refuse(params, msg::UserCertificateFilesSaveFailed());
    }
    params = set.PutToParams(params);
    return true;
  }

  if (Config().FCAMode == "0") {
    // The certificates stay on the key: no file is looked at or copied.
    if (!StoreNamesWritable({CryptType(), User()}, params)) return false;
    TUserCaFile set(CryptType(), User(), HasTwoPairs());
    set.TakeFromParams(params);
    if (!set.SavePasswords(set.FEncKeyPwd, set.FSignKeyPwd)) {
      return Refuse(params, msg::UserCertificatePasswordsSaveFailed());
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
  if (!StoreNamesWritable({CryptType(), section}, params)) return false;
  TRevenueCaFile record(CryptType(), section, HasTwoPairs());
  record.TakeFromParams(params);
  if (!record.FilesPresent()) return Refuse(params, msg::ServerCertificateFilesNotFound());
  const CertDirSnapshot before(record.CertDir(), {&record.FEncCertFile, &record.FSignCertFile});
  if (!record.SaveToIni()) {
    before.Restore();
    return Refuse(params, msg::ServerCertificateFilesSaveFailed());
  }
  params = record.PutToParams(params);
  return true;
}

}  // namespace qorv
