// Encrypt and Decrypt through the built library, with the test provider recording what
// it receives.
#include <gtest/gtest.h>

#include <string>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "support/Deployment.h"
#include "support/StoreSeed.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"

namespace qorv {
namespace {

using test::CryptEntry;
using test::Deployment;

CryptEntry CertType(const std::string& caMode, const std::string& caIsMulti) {
  return {"Cert", "", "1", "cert type", caMode, caIsMulti, "", {{"RevenueCode", "12"}, {"X", " spaced "}}};
}

class FileCryptTest : public ::testing::Test {
 protected:
  Deployment d_;
};

TEST_F(FileCryptTest, CertificateModeSendsTheCredentialsToInitCryptInTheirOrder) {
  d_.WriteConfig({CertType("1", "1")});
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Cert", "alice", "12", true);
  const std::string script = d_.script().path();

  const test::ExportReply reply = d_.Encrypt("Cert", "alice", "in.txt", "out.bin", ";Keep=1;", 0x5151);
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params, ";Keep=1;");  // success: the caller's string comes back as it went

  const auto calls = d_.script().Calls();
  ASSERT_EQ(d_.script().CallOrder(), "InitCrypt Encrypt FinalCrypt");
  EXPECT_EQ(calls[0].handle, 0x5151u);
  EXPECT_EQ(calls[0].text, "RevenueEncCertFile=" + seeded.revenueEnc + ";RevenueSignCertFile=" + seeded.revenueSign +
                               ";RootCertFile=" + seeded.root + ";EncCertFile=" + seeded.encCert +
                               ";EncKeyFile=" + seeded.encKey + ";EncKeyPwd=enc-pwd;SignCertFile=" + seeded.signCert +
                               ";SignKeyFile=" + seeded.signKey + ";SignKeyPwd=sign-pwd;User=alice" +
                               ";RevenueCode=12;X= spaced ;TestScript=" + script +
                               ";CAMode=1;Mode=1;CAISMULTI=1;DESC=cert type");
  // The operation function sees no credentials. X's trailing blank went with the
  // trimming of the whole text when the next entry was appended.
  EXPECT_EQ(calls[1].text, "User=alice;SourceFile=in.txt;TargetFile=out.bin;RevenueCode=12;X= spaced;TestScript=" +
                               script);
  EXPECT_EQ(calls[2].text, "");

  // Decrypt runs the same sequence with its own function.
  EXPECT_EQ(d_.Decrypt("Cert", "alice", "out.bin", "back.txt", "").ok, 1);
  EXPECT_EQ(d_.script().CallOrder(), "InitCrypt Encrypt FinalCrypt InitCrypt Decrypt FinalCrypt");
}

TEST_F(FileCryptTest, PasswordAndPlainModesSendThePasswordOrNothing) {
  d_.WriteConfig({{"Pwd", "", "2", "pwd", "", "", "", {{"Mode", "ext"}}}, {"Plain", "", "7", "plain", "", "", "", {}}});
  test::SeedPassword(d_.LibraryDir(), "Pwd", "bob", "secret;=1");
  const std::string script = d_.script().path();

  EXPECT_EQ(d_.Encrypt("Pwd", "bob", "a", "b", "").ok, 1);
  EXPECT_EQ(d_.Encrypt("Pwd", "nobody", "a", "b", "").ok, 1);
  EXPECT_EQ(d_.Decrypt("Plain", "carol", "a", "b", "").ok, 1);
  const auto calls = d_.script().Calls();
  ASSERT_EQ(calls.size(), 9u);
  // An extension parameter named Mode reaches InitCrypt with its own value, set again
  // after the description.
  EXPECT_EQ(calls[0].text,
            "PassWord=secret&lim%&eq%1;User=bob;Mode=ext;TestScript=" + script + ";CAMode=;CAISMULTI=;DESC=pwd");
  EXPECT_EQ(calls[1].text, "User=bob;SourceFile=a;TargetFile=b;Mode=ext;TestScript=" + script);
  EXPECT_EQ(calls[3].text,
            "PassWord=;User=nobody;Mode=ext;TestScript=" + script + ";CAMode=;CAISMULTI=;DESC=pwd");
  EXPECT_EQ(calls[6].text, "User=carol;TestScript=" + script + ";CAMode=;Mode=7;CAISMULTI=;DESC=plain");
  EXPECT_EQ(calls[7].function, "Decrypt");
}

TEST_F(FileCryptTest, CertificateChecksDependOnTheOperationAndCaMode) {
  struct Case {
    std::string caMode;
    bool encryptChecks;
    bool decryptChecks;
  };
  // The user's set is checked by Encrypt unless CAMODE is "0", by Decrypt only when "1".
  const Case cases[] = {{"1", true, true}, {"0", false, false}, {"", true, false}, {"2", true, false}};
  for (const Case& c : cases) {
    Deployment d;
    d.WriteConfig({CertType(c.caMode, "0")});
    const std::string userMissing = msg::UserCertificateMissing();
    // No server record at all: every mode, USB-key mode included, refuses.
    test::ExportReply reply = d.Encrypt("Cert", "u", "a", "b", ";A=1;ResultMsgStr=old;");
    EXPECT_EQ(reply.ok, 0);
    EXPECT_EQ(reply.params, ";A=1;ResultMsgStr=" + EscapeParamText(msg::ServerCertificateMissing()));

    // Server record installed, the user has none.
    test::SeedCertificates(d.dir(), d.LibraryDir(), "Cert", "someone-else", "12", false);
    reply = d.Encrypt("Cert", "u", "a", "b", "");
    EXPECT_EQ(reply.params, c.encryptChecks ? "ResultMsgStr=" + EscapeParamText(userMissing) : "") << c.caMode;
    EXPECT_EQ(reply.ok, c.encryptChecks ? 0 : 1) << c.caMode;
    reply = d.Decrypt("Cert", "u", "a", "b", "");
    EXPECT_EQ(reply.ok, c.decryptChecks ? 0 : 1) << c.caMode;
    // No provider call happens for a refused request.
    EXPECT_EQ(d.script().Calls().size(), 3u * ((c.encryptChecks ? 0 : 1) + (c.decryptChecks ? 0 : 1))) << c.caMode;
  }
}

TEST_F(FileCryptTest, ProviderFailuresComeBackWithTheProvidersMessage) {
  d_.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}}});
  d_.script().Answer("Encrypt", "0", "ResultMsgStr=wrong key;Other=1");
  d_.script().Answer("Decrypt", "0", "Other=1");

  test::ExportReply reply = d_.Encrypt("Plain", "u", "a", "b", ";A=1;ResultMsgStr=old;B=2;");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, ";A=1;ResultMsgStr=wrong key;B=2;");
  // A provider that fails without a message leaves ResultMsgStr present and empty.
  reply = d_.Decrypt("Plain", "u", "a", "b", "A=1");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "A=1;ResultMsgStr=");
  // FinalCrypt follows a failed operation.
  EXPECT_EQ(d_.script().CallOrder(), "InitCrypt Encrypt FinalCrypt InitCrypt Decrypt FinalCrypt");
}

TEST_F(FileCryptTest, AFailedInitCryptEndsTheSequenceWithoutFinalCrypt) {
  d_.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}}});
  d_.script().Answer("InitCrypt", "0", "ResultMsgStr=no licence");
  test::ExportReply reply = d_.Encrypt("Plain", "u", "a", "b", "");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "ResultMsgStr=no licence");
  EXPECT_EQ(d_.script().CallOrder(), "InitCrypt");
}

TEST_F(FileCryptTest, FaultsAndMissingFunctionsBecomeTheAdaptersMessage) {
  d_.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}},
                  {"NoEnc", test::TestProviderPath("qorv_test_provider_without_encrypt"), "0", "x", "", "", "", {}}});
  d_.script().Answer("Decrypt", platform::kWindows ? "raise:0xE06D7363" : "throw");
  d_.script().Answer("Encrypt", "fault");
  for (int round = 0; round < 3; ++round) {
    test::ExportReply reply = d_.Decrypt("Plain", "u", "a", "b", "K=v");
    EXPECT_EQ(reply.ok, 0);
    EXPECT_EQ(reply.params, "K=v;ResultMsgStr=" + EscapeParamText(msg::ProviderRaised("Decrypt")));
    reply = d_.Encrypt("Plain", "u", "a", "b", "");
    EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), msg::ProviderRaised("Encrypt"));
  }
  test::ExportReply reply = d_.Encrypt("NoEnc", "u", "a", "b", "");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), msg::ProviderRaised("Encrypt"));
  // FinalCrypt still ran after each failed operation of the scripted provider.
  EXPECT_EQ(d_.script().CallOrder().find("Decrypt InitCrypt"), std::string::npos);
}

TEST_F(FileCryptTest, AProviderThatCannotBeLoadedIsNamedByItsFullPath) {
  d_.WriteConfig({{"Gone", "no-such-provider.so", "0", "x", "", "", "", {}}, {"Empty", "", "0", "x", "", "", "", {}}});
  test::ExportReply reply = d_.Encrypt("Gone", "u", "a", "b", "");
  EXPECT_EQ(reply.ok, 0);
  // Relative paths are shown expanded against the current directory.
  EXPECT_EQ(reply.params, "ResultMsgStr=" + EscapeParamText(msg::ProviderLoadFailed(FullPath("no-such-provider.so"))));
  EXPECT_NE(FullPath("no-such-provider.so"), "no-such-provider.so");
}

TEST_F(FileCryptTest, ConfigurationErrorsComeBackThroughTheFrame) {
  // No configuration written: the missing-file message, the caller's entries kept.
  test::ExportReply reply = d_.Encrypt("T", "u", "a", "b", ";A=1;");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, ";A=1;;ResultMsgStr=" + EscapeParamText(msg::ConfigFileMissing(d_.configPath())));
  reply = d_.Decrypt("T", "u", "a", "b", "");
  EXPECT_EQ(reply.params, "ResultMsgStr=" + EscapeParamText(msg::ConfigFileMissing("")));

  d_.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}}});
  reply = d_.Encrypt("Other", "u", "a", "b", "");
  EXPECT_EQ(reply.params, "ResultMsgStr=" + EscapeParamText(msg::CryptTypeNotConfigured(d_.configPath(), "Other")));
  EXPECT_EQ(d_.script().Calls().size(), 0u);
}

TEST_F(FileCryptTest, TheFrameHandlesNullTextsAndKeepsTheLastWindowHandle) {
  d_.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}}});
  // A null user, source or target reads as the empty text.
  test::ExportReply reply = test::CallWithBuffer("", [&](char** text) {
    return d_.encrypt(1, d_.configPath().c_str(), "Plain", nullptr, nullptr, nullptr, text);
  });
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(d_.script().Calls()[1].text, "User=;SourceFile=;TargetFile=;TestScript=" + d_.script().path());

  // No reply buffer: nothing is written and the answer is 0.
  EXPECT_EQ(d_.encrypt(2, d_.configPath().c_str(), "Plain", "u", "a", "b", nullptr), 0);
  char* none = nullptr;
  EXPECT_EQ(d_.decrypt(3, d_.configPath().c_str(), "Plain", "u", "a", "b", &none), 0);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(d_.script().Calls().size(), 3u);

  // The handle of the last call reaches the next InitCrypt.
  d_.Encrypt("Plain", "u", "a", "b", "", 0x77);
  EXPECT_EQ(d_.script().Calls()[3].handle, 0x77u);
}

TEST_F(FileCryptTest, UnsafeStoreNamesAreRefusedBeforeAnyStoreIsRead) {
  d_.WriteConfig({CertType("1", "0"), {"Pwd", "", "2", "pwd", "", "", "", {}}});
  for (const std::string user : {"../etc", "a/b", "a\\b", "x]y", "..", "tab\there"}) {
    test::ExportReply reply = d_.Encrypt("Cert", user, "a", "b", "");
    EXPECT_EQ(reply.ok, 0) << user;
    EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), msg::UnsafeStoreName(user)) << user;
    reply = d_.Decrypt("Pwd", user, "a", "b", "");
    EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), msg::UnsafeStoreName(user)) << user;
  }
  EXPECT_EQ(d_.script().Calls().size(), 0u);
}

}  // namespace
}  // namespace qorv
