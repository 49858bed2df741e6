// Puts credentials into a deployment's stores the way installation does, for tests of
// the operations that read them.
#pragma once

#include <string>

#include "support/TempDir.h"

namespace qorv::test {

struct SeededCertificates {
  std::string root, encCert, encKey, signCert, signKey;  // full paths of the installed copies
  std::string revenueEnc, revenueSign;
};

// Creates certificate files in dir and installs them for the user (key passwords
// encPwd/signPwd) and for the server record "Revenue" + revenueCode of the crypto type,
// in the stores below caRoot. With twoPairs, the signing pair too.
SeededCertificates SeedCertificates(const TempDir& dir, const std::string& caRoot, const std::string& cryptType,
                                    const std::string& user, const std::string& revenueCode, bool twoPairs,
                                    const std::string& encPwd = "enc-pwd", const std::string& signPwd = "sign-pwd");

// Stores the user's password of a password-mode crypto type below caRoot.
void SeedPassword(const std::string& caRoot, const std::string& cryptType, const std::string& user,
                  const std::string& password);

}  // namespace qorv::test
