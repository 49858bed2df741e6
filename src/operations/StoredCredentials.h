// The store records an operation opens for the manager's crypto type and user.
#pragma once

#include <initializer_list>
#include <string>

#include "interface/CryptManage.h"
#include "store/PasswordParams.h"
#include "store/RevenueCaFile.h"
#include "store/UserCaFile.h"

namespace qorv {

// "Revenue" + the crypto type's RevenueCode: the section of its server certificate record.
std::string RevenueSection(const TCryptConfig& config);

// False, with the unsafe-name message under ResultMsgStr, when one of the names is not
// empty and cannot name a store folder or section. Empty names read as empty records.
bool StoreNamesAreSafe(std::initializer_list<std::string> names, std::string& params);

// The server certificate record and the user's certificate set, with the two-pair flag
// of the crypto type, from one read of the certificate set file.
struct StoredCertificates {
  explicit StoredCertificates(const TCryptmanage& manager);
  bool NamesAreSafe(std::string& params) const;

  TRevenueCaFile revenue;
  TUserCaFile user;

 private:
  struct SetFile;
  StoredCertificates(const TCryptmanage& manager, const SetFile& setFile);
};

struct StoredPassword {
  explicit StoredPassword(const TCryptmanage& manager);
  bool NamesAreSafe(std::string& params) const;

  TPasswordParams password;
};

}  // namespace qorv
