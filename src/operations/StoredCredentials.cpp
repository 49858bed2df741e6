#include "operations/StoredCredentials.h"

#include "interface/ParamString.h"
#include "store/StoreNames.h"
#include "util/Messages.h"

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

StoredCertificates::StoredCertificates(const TCryptmanage& manager)
    : revenue(manager.CryptType(), RevenueSection(manager.Config()), manager.HasTwoPairs()),
      user(manager.CryptType(), manager.User(), manager.HasTwoPairs()) {}

bool StoredCertificates::NamesAreSafe(std::string& params) const {
  return StoreNamesAreSafe({revenue.FCryptType, revenue.FSection, user.FSection}, params);
}

StoredPassword::StoredPassword(const TCryptmanage& manager) : password(manager.CryptType(), manager.User()) {}

bool StoredPassword::NamesAreSafe(std::string& params) const {
  return StoreNamesAreSafe({password.FCryptType, password.FSection}, params);
}

}  // namespace qorv
