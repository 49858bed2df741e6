// The store records an operation opens for the manager's crypto type and user, and the
// store's lock held across an operation.
#pragma once

#include <initializer_list>
#include <string>

#include "interface/CryptManage.h"
#include "store/PasswordParams.h"
#include "store/RevenueCaFile.h"
#include "store/StoreLock.h"
#include "store/UserCaFile.h"

namespace qorv {

// The section of the crypto type's server certificate record: "Revenue" + its
// RevenueCode, trimmed as a section name is (store/StoreNames.h).
std::string RevenueSection(const TCryptConfig& config);

// The certificate set file of the manager's crypto type.
std::string SetFileName(const TCryptmanage& manager);

// False, with the unsafe-name message under ResultMsgStr, when one of the names is not
// empty and cannot name a store folder or section. Empty names read as empty records.
bool StoreNamesAreSafe(std::initializer_list<std::string> names, std::string& params);
// The same for the names the certificate records of the manager use: the crypto type,
// the server record and the user.
bool CertificateNamesAreSafe(const TCryptmanage& manager, std::string& params);

// False, with its message, when the crypto type keeps stores (certificate and password
// mode) and the user's name has the form of a server record's (store/StoreNames.h): no
// operation lets a user reach a server record, reading included.
bool UserMayUseStores(const TCryptmanage& manager, std::string& params);

// The store's lock (store/StoreLock.h) of the manager's crypto type, for a whole
// operation: reading, for as long as the stored files are used; or changing, which
// creates the crypto type's folder first. Only once the names are known to be safe.
class StoreHold {
 public:
  StoreHold(const TCryptmanage& manager, TStoreLock::Mode mode);
  bool Held() const { return FLock.Held(); }

 private:
  TStoreLock FLock;
};

// The server certificate record and the user's certificate set, with the two-pair flag
// of the crypto type, from one read of the certificate set file.
struct StoredCertificates {
  explicit StoredCertificates(const TCryptmanage& manager);

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
