#include "operations/StoredCredentials.h"

#include "interface/ParamString.h"
#include "store/IniFile.h"
#include "store/StoreNames.h"
#include "store/StorePaths.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"

namespace qorv {

std::string RevenueSection(const TCryptConfig& config) { return "Revenue" + config.ExtParamValue("RevenueCode"); }

bool StoreNamesAreSafe(std::initializer_list<std::string> names, std::string& params) {
  for (const std::string& name : names) {
    if (!name.empty() && !IsSafeStoreName(name)) {
      params = SetParamValue(params, "ResultMsgStr", msg::UnsafeStoreName(name));
      return false;
    }
  }
  return true;
}

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
    : StoredCertificates(manager, SetFile(manager.CryptType())) {}

StoredCertificates::StoredCertificates(const TCryptmanage& manager, const SetFile& setFile)
    : revenue(manager.CryptType(), RevenueSection(manager.Config()), manager.HasTwoPairs(), setFile.Found()),
      user(manager.CryptType(), manager.User(), manager.HasTwoPairs(), setFile.Found()) {}

bool StoredCertificates::NamesAreSafe(std::string& params) const {
  return StoreNamesAreSafe({revenue.FCryptType, revenue.FSection, user.FSection}, params);
}

StoredPassword::StoredPassword(const TCryptmanage& manager) : password(manager.CryptType(), manager.User()) {}

bool StoredPassword::NamesAreSafe(std::string& params) const {
  return StoreNamesAreSafe({password.FCryptType, password.FSection}, params);
}

}  // namespace qorv
