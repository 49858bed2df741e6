#include "operations/OperationHelpers.h"

#include "interface/ParamString.h"
#include "store/StoreNames.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"
#include "util/TextCase.h"

namespace qorv {

bool Refuse(std::string& params, const std::string& message) {
  params = SetParamValue(params, "ResultMsgStr", message);
  return false;
}

bool StoreNamesWritable(std::initializer_list<std::string> names, std::string& params) {
  for (const std::string& name : names) {
    if (!IsSafeStoreName(name)) return Refuse(params, msg::UnsafeStoreName(name));
  }
  return true;
}

std::string WithDefaultRootCert(const TCryptConfig& config, const std::string& params) {
  if (!TrimText(GetParamValue(params, "RootCertFile")).empty()) return params;
  return SetParamValue(params, "RootCertFile", FullPath(config.FRootCertFile));
}

std::string SaveFailureMessage(const TCaFile& record, const std::string& otherwise) {
  switch (record.LastStatus()) {
    case StoreStatus::NotRegularFile:
      return msg::CertificateFileNotRegular(record.LastStatusSubject());
    case StoreStatus::FileTooLarge:
      return msg::CertificateFileTooLarge(record.LastStatusSubject());
    case StoreStatus::PasswordTooLong:
      return msg::PasswordTooLongToStore();
    case StoreStatus::PathTooLong:
      return msg::PathTooLongToStore(record.LastStatusSubject());
    default:
      return otherwise;
  }
}

bool KeyFilesForProvider(const TCryptmanage& manager, std::string& params, const std::string& missingMessage,
                         std::string& init, bool& fromStore, std::optional<StoreHold>& hold) {
  fromStore = false;
  if (TCryptmanage::HasKeyFiles(params, manager.HasTwoPairs())) {
    init = WithDefaultRootCert(manager.Config(), params);
    return true;
  }
  if (!StoreNamesAreSafe({manager.StoreType(), manager.User()}, params)) return false;
  hold.emplace(manager, TStoreLock::Mode::Read);
  const TUserCaFile set(manager.StoreType(), manager.User(), manager.HasTwoPairs());
  if (!set.FilesPresent()) return Refuse(params, missingMessage);
  init = set.PutToParams("");
  fromStore = true;
  return true;
}

}  // namespace qorv
