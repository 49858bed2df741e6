#include "support/StoreSeed.h"

#include <gtest/gtest.h>

#include "interface/ParamString.h"
#include "store/PasswordParams.h"
#include "store/RevenueCaFile.h"
#include "store/UserCaFile.h"

namespace qorv::test {

SeededCertificates SeedCertificates(const TempDir& dir, const std::string& caRoot, const std::string& cryptType,
                                    const std::string& user, const std::string& revenueCode, bool twoPairs,
                                    const std::string& encPwd, const std::string& signPwd) {
  std::string request;
  for (const char* key : {"RootCertFile", "EncCertFile", "EncKeyFile", "SignCertFile", "SignKeyFile"}) {
    request = SetParamValue(request, key, dir.Write(std::string(key) + "-" + user + ".pem", key));
  }
  request = SetParamValue(request, "EncKeyPwd", encPwd);
  request = SetParamValue(request, "SignKeyPwd", signPwd);
  TUserCaFile set(caRoot, cryptType, user, twoPairs);
  set.TakeFromParams(request);
  EXPECT_TRUE(set.SaveToIni());

  std::string serverRequest;
  serverRequest = SetParamValue(serverRequest, "RevenueEncCertFile", dir.Write("server-enc.cer", "enc"));
  serverRequest = SetParamValue(serverRequest, "RevenueSignCertFile", dir.Write("server-sign.cer", "sign"));
  TRevenueCaFile record(caRoot, cryptType, "Revenue" + revenueCode, twoPairs);
  record.TakeFromParams(serverRequest);
  EXPECT_TRUE(record.SaveToIni());

  return {set.FRootCertFile, set.FEncCertFile, set.FEncKeyFile,  set.FSignCertFile,
          set.FSignKeyFile,  record.FEncCertFile, record.FSignCertFile};
}

void SeedPassword(const std::string& caRoot, const std::string& cryptType, const std::string& user,
                  const std::string& password) {
  TPasswordParams stored(caRoot, cryptType, user);
  stored.FPassword = password;
  EXPECT_TRUE(stored.SaveToIni());
}

}  // namespace qorv::test
