// GetCryptInfo through the built library.
#include <gtest/gtest.h>

#include <string>

#include "interface/ParamString.h"
#include "support/Deployment.h"
#include "support/StoreSeed.h"
#include "util/Messages.h"

namespace qorv {
namespace {

using test::Deployment;

class GetCryptInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d_.WriteConfig({{"Cert", "", "1", "cert", "1", "1", "", {{"RevenueCode", "7"}}},
                    {"NoCode", "", "1", "cert", "1", "0", "", {}},
                    {"Pwd", "", "2", "pwd", "", "", "", {}},
                    {"Plain", "", "3", "plain", "", "", "", {}}});
    script_ = d_.script().path();
  }
  Deployment d_;
  std::string script_;
};

TEST_F(GetCryptInfoTest, CertificateModeAddsTheStoredSetsAndTheDescription) {
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Cert", "alice", "7", true, "e", "s");
  const test::ExportReply reply = d_.GetCryptInfo("Cert", "alice", ";Mode=old;Keep=1;");
  EXPECT_EQ(reply.ok, 1);
  // Mode is replaced where it stands (the first entry loses its leading separator);
  // passwords come back in plain text.
  EXPECT_EQ(reply.params, "Mode=1;Keep=1;;RevenueEncCertFile=" + seeded.revenueEnc + ";RevenueSignCertFile=" +
                              seeded.revenueSign + ";RootCertFile=" + seeded.root + ";EncCertFile=" + seeded.encCert +
                              ";EncKeyFile=" + seeded.encKey + ";EncKeyPwd=e;SignCertFile=" + seeded.signCert +
                              ";SignKeyFile=" + seeded.signKey + ";SignKeyPwd=s;RevenueCode=7;TestScript=" + script_ +
                              ";CAMode=1;CAISMULTI=1;DESC=cert");
  EXPECT_EQ(d_.script().Calls().size(), 0u);  // no provider is involved
}

TEST_F(GetCryptInfoTest, MissingRecordsGiveEmptyKeys) {
  // Without a RevenueCode the server record is section "Revenue".
  test::SeedCertificates(d_.dir(), d_.LibraryDir(), "NoCode", "bob", "", false);
  test::ExportReply reply = d_.GetCryptInfo("NoCode", "nobody", "");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_NE(GetParamValue(reply.params, "RevenueEncCertFile"), "");
  EXPECT_EQ(reply.params.find("RevenueSignCertFile"), std::string::npos);
  EXPECT_NE(reply.params.find(";RootCertFile=;EncCertFile=;EncKeyFile=;EncKeyPwd=;"), std::string::npos)
      << reply.params;

  reply = d_.GetCryptInfo("Pwd", "nobody", "");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params, "PassWord=;TestScript=" + script_ + ";CAMode=;Mode=2;CAISMULTI=;DESC=pwd");
}

TEST_F(GetCryptInfoTest, PasswordAndPlainModes) {
  test::SeedPassword(d_.LibraryDir(), "Pwd", "carol", "\xC3\xDC\xC2\xEB-long-password");
  test::ExportReply reply = d_.GetCryptInfo("Pwd", "carol", "A=1");
  EXPECT_EQ(reply.params,
            "A=1;PassWord=\xC3\xDC\xC2\xEB-long-password;TestScript=" + script_ + ";CAMode=;Mode=2;CAISMULTI=;DESC=pwd");
  reply = d_.GetCryptInfo("Plain", "carol", "");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params, "TestScript=" + script_ + ";CAMode=;Mode=3;CAISMULTI=;DESC=plain");
}

TEST_F(GetCryptInfoTest, FailsOnlyForConfigurationErrorsAndUnsafeNames) {
  test::ExportReply reply = d_.GetCryptInfo("Absent", "u", ";A=1;");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params,
            ";A=1;;ResultMsgStr=" + EscapeParamText(msg::CryptTypeNotConfigured(d_.configPath(), "Absent")));
  reply = d_.GetCryptInfo("Pwd", "..", "");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), msg::UnsafeStoreName(".."));
}

}  // namespace
}  // namespace qorv
