#include "operations/StoredCredentials.h"

#include "interface/ParamString.h"
#include "store/IniFile.h"
#include "store/StoreNames.h"
#include "store/StorePaths.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"

namespace qorv {
namespace {

// The set file's name, with the crypto type's folder made first when the lock is for a
// change (the lock file goes beside the set file).
std::string PreparedSetFile(const TCryptmanage& manager, TStoreLock::Mode mode) {
  if (mode == TStoreLock::Mode::Change) CreateDirPath(CryptTypeDir(ModuleDir(), manager.StoreType()));
  return SetFileName(manager);
}

}  // namespace

std::string RevenueSection(const TCryptConfig& config) {
  return ServerRecordSection(config.ExtParamValue("RevenueCode"));
}

std::string SetFileName(const TCryptmanage& manager) {
  return CertificateSetFileName(ModuleDir(), manager.StoreType());
}

bool StoreNamesAreSafe(std::initializer_list<std::string> names, std::string& params) {
  for (const std::string& name : names) {
    if (!name.empty() && !IsSafeStoreName(name)) {
      params = SetParamValue(params, "ResultMsgStr", msg::UnsafeStoreName(name));
      return false;
    }
  }
  return true;
}

bool CertificateNamesAreSafe(const TCryptmanage& manager, std::string& params) {
  return StoreNamesAreSafe({manager.StoreType(), RevenueSection(manager.Config()), manager.User()}, params);
}

bool UserMayUseStores(const TCryptmanage& manager, std::string& params) {
  if (!(manager.IsCertificateMode() || manager.IsPasswordMode()) || !IsReservedUserName(manager.User())) return true;
  params = SetParamValue(params, "ResultMsgStr", msg::ReservedUserName(manager.User()));
  return false;
}

StoreHold::StoreHold(const TCryptmanage& manager, TStoreLock::Mode mode)
    : FLock(PreparedSetFile(manager, mode), mode) {}

// The crypto type's certificate set file, read once for both records.
struct StoredCertificates::SetFile {
  explicit SetFile(const std::string& cryptType) {
    // Nothing is read for a crypto type that cannot name a store.
    found = IsSafeStoreName(cryptType) && TIniFile(CertificateSetFileName(ModuleDir(), cryptType)).Load(document);
  }
  const TIniDocument* Found() const { return found ? &document : nullptr; }

  TIniDocument document;
  bool found = false;
};

StoredCertificates::StoredCertificates(const TCryptmanage& manager)
    : StoredCertificates(manager, SetFile(manager.StoreType())) {}

StoredCertificates::StoredCertificates(const TCryptmanage& manager, const SetFile& setFile)
    : revenue(manager.StoreType(), RevenueSection(manager.Config()), manager.HasTwoPairs(), setFile.Found()),
      user(manager.StoreType(), manager.User(), manager.HasTwoPairs(), setFile.Found()) {}

StoredPassword::StoredPassword(const TCryptmanage& manager) : password(manager.StoreType(), manager.User()) {}

bool StoredPassword::NamesAreSafe(std::string& params) const {
  return StoreNamesAreSafe({password.FCryptType, password.FSection}, params);
}

}  // namespace qorv
