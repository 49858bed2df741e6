// CreateCAFile, ChangeCAPassword and ValidateCert through the built library, with the
// test provider recording what it receives.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "interface/ParamString.h"
#include "platform/AtomicFile.h"
#include "platform/Platform.h"
#include "store/IniFile.h"
#include "support/Deployment.h"
#include "support/StoreSeed.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;
using test::Deployment;
using test::ExportReply;

const std::string kSep(1, platform::kPathSeparator);

class CertificateProviderOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d_.WriteConfig({
        {"File", "", "1", "file", "1", "0", "root.cer", {}},
        {"Pair", "", "1", "pair", "1", "1", "", {}},
        {"NoCaMode", "", "1", "none", "", "0", "", {}},
        {"Usb", "", "1", "usb", "0", "1", "", {}},
        {"Pwd", "", "2", "pwd", "", "", "", {}},
    });
  }
  // The crypto type description as the provider receives it.
  std::string Description(const std::string& caMode, const std::string& caIsMulti, const std::string& desc) {
    return "TestScript=" + d_.script().path() + ";CAMode=" + caMode + ";Mode=1;CAISMULTI=" + caIsMulti +
           ";DESC=" + desc;
  }
  std::string StoredValue(const std::string& type, const std::string& user, const std::string& key) {
    return GetParamValue(d_.GetCryptInfo(type, user, "").params, key);
  }

  Deployment d_;
};

TEST_F(CertificateProviderOpsTest, CreateCAFileHandsTheProvidersReplyBackWhole) {
  d_.script().Answer("CreateCAFile", "1", "EncCertFile=new.cer;Made=1");
  // A user without a record: the stored keys arrive present and empty, in place of the
  // request's.
  const ExportReply reply = d_.CreateCAFile("File", "bob", "RootCertFile=mine;Keep=1;EncKeyPwd=p");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params, "EncCertFile=new.cer;Made=1");
  ASSERT_EQ(d_.script().CallOrder(), "InitCrypt CreateCAFile FinalCrypt");
  const auto calls = d_.script().Calls();
  EXPECT_EQ(calls[0].text,
            "RootCertFile=;Keep=1;EncKeyPwd=;EncCertFile=;EncKeyFile=;User=bob;" + Description("1", "0", "file"));
  EXPECT_EQ(calls[1].text, "User=bob");

  // A stored set with the two-pair flag brings its signing pair along.
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Pair", "alice", "", true);
  EXPECT_EQ(d_.CreateCAFile("Pair", "alice", "").ok, 1);
  const std::string init = d_.script().Calls()[3].text;
  EXPECT_EQ(GetParamValue(init, "SignKeyFile"), seeded.signKey);
  EXPECT_EQ(GetParamValue(init, "EncKeyPwd"), "enc-pwd");
}

TEST_F(CertificateProviderOpsTest, CreateCAFileFailuresAndModes) {
  d_.script().Answer("CreateCAFile", "0", "ResultMsgStr=cannot;X=1");
  ExportReply reply = d_.CreateCAFile("NoCaMode", "bob", "A=1");  // an empty CAMODE is accepted
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "A=1;ResultMsgStr=cannot");
  EXPECT_EQ(d_.script().CallOrder(), "InitCrypt CreateCAFile FinalCrypt");

  for (const std::string type : {"Usb", "Pwd"}) {
    reply = d_.CreateCAFile(type, "bob", "A=1");
    EXPECT_EQ(reply.ok, 0);
    EXPECT_EQ(reply.params, "A=1;ResultMsgStr=" + EscapeParamText(msg::CertificateFilesRequired())) << type;
  }
  EXPECT_EQ(d_.script().Calls().size(), 3u);  // no provider for a refused mode
}

TEST_F(CertificateProviderOpsTest, ChangeCAPasswordRecordsTheNewPasswordsOfAStoredSet) {
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Pair", "alice", "", true, "e", "s");
  const ExportReply reply = d_.ChangeCAPassword("Pair", "alice", "NewEncKeyPwd=e2;NewSignKeyPwd=s2");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params, "NewEncKeyPwd=e2;NewSignKeyPwd=s2");
  ASSERT_EQ(d_.script().CallOrder(), "InitCrypt ChangeCAPassword FinalCrypt");
  const auto calls = d_.script().Calls();
  // The stored set alone, with the current passwords; the new ones go to the operation.
  EXPECT_EQ(calls[0].text, "RootCertFile=" + seeded.root + ";EncCertFile=" + seeded.encCert +
                               ";EncKeyFile=" + seeded.encKey + ";EncKeyPwd=e;SignCertFile=" + seeded.signCert +
                               ";SignKeyFile=" + seeded.signKey + ";SignKeyPwd=s;User=alice;" +
                               Description("1", "1", "pair"));
  EXPECT_EQ(calls[1].text, "EncKeyPwd=e2;SignKeyPwd=s2");
  EXPECT_EQ(StoredValue("Pair", "alice", "EncKeyPwd"), "e2");
  EXPECT_EQ(StoredValue("Pair", "alice", "SignKeyPwd"), "s2");

  // Nothing is recorded when the provider refuses.
  d_.script().Answer("ChangeCAPassword", "0", "ResultMsgStr=wrong password");
  const ExportReply refused = d_.ChangeCAPassword("Pair", "alice", "NewEncKeyPwd=e3");
  EXPECT_EQ(refused.ok, 0);
  EXPECT_EQ(refused.params, "NewEncKeyPwd=e3;ResultMsgStr=wrong password");
  EXPECT_EQ(StoredValue("Pair", "alice", "EncKeyPwd"), "e2");
}

TEST_F(CertificateProviderOpsTest, ChangeCAPasswordWithKeyFilesOrAKeyRecordsNothing) {
  test::SeedCertificates(d_.dir(), d_.LibraryDir(), "File", "alice", "", false, "stored");
  test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Usb", "alice", "", true, "stored", "stored");

  // Key files in the request: it goes to InitCrypt, a blank RootCertFile filled in from
  // the configuration; without the two-pair flag no SignKeyPwd is sent.
  const std::string request = "EncKeyFile=k.key;EncKeyPwd=old;NewEncKeyPwd=n;NewSignKeyPwd=ns";
  ExportReply reply = d_.ChangeCAPassword("File", "alice", request);
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params, request);
  auto calls = d_.script().Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].text,
            request + ";RootCertFile=" + FullPath("root.cer") + ";User=alice;" + Description("1", "0", "file"));
  EXPECT_EQ(calls[1].text, "EncKeyPwd=n");
  EXPECT_EQ(StoredValue("File", "alice", "EncKeyPwd"), "stored");

  // USB-key mode: only User and the description reach InitCrypt; an absent new
  // password is sent empty.
  reply = d_.ChangeCAPassword("Usb", "alice", "EncKeyFile=k.key;SignKeyFile=s.key");
  EXPECT_EQ(reply.ok, 1);
  calls = d_.script().Calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[3].text, "User=alice;" + Description("0", "1", "usb"));
  EXPECT_EQ(calls[4].text, "EncKeyPwd=;SignKeyPwd=");
  EXPECT_EQ(StoredValue("Usb", "alice", "EncKeyPwd"), "stored");
}

TEST_F(CertificateProviderOpsTest, ChangeCAPasswordRefusals) {
  struct Case {
    std::string type, user, request, message;
  };
  const Case cases[] = {
      {"Pwd", "alice", "", msg::CertificateModeRequired()},
      // With the two-pair flag the request carries key files only with both of them.
      {"Pair", "alice", "EncKeyFile=k.key", msg::PasswordChangeCertificateMissing()},
      {"File", "..", "", msg::UnsafeStoreName("..")},
  };
  for (const Case& c : cases) {
    const ExportReply reply = d_.ChangeCAPassword(c.type, c.user, c.request);
    EXPECT_EQ(reply.ok, 0) << c.type;
    EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), c.message) << c.type;
  }
  EXPECT_EQ(d_.script().Calls().size(), 0u);
}

TEST_F(CertificateProviderOpsTest, ChangeCAPasswordReportsNewPasswordsTheStoreRefused) {
  test::SeedCertificates(d_.dir(), d_.LibraryDir(), "File", "alice", "", false, "e");
  const std::string ini = d_.LibraryDir() + "CA" + kSep + "File" + kSep + "UserCa_File.ini";
  // A folder where the set file's replacement is written: the store takes its lock and
  // reads, but cannot save, which shows only once the provider has changed the keys.
  fs::create_directories(fs::path(platform::AtomicTempName(ini)));
  ExportReply reply = d_.ChangeCAPassword("File", "alice", "NewEncKeyPwd=e2");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "NewEncKeyPwd=e2;ResultMsgStr=" + EscapeParamText(msg::NewKeyPasswordsNotRecorded()));
  EXPECT_EQ(d_.script().CallOrder(), "InitCrypt ChangeCAPassword FinalCrypt");
  EXPECT_EQ(StoredValue("File", "alice", "EncKeyPwd"), "e");
  fs::remove(fs::path(platform::AtomicTempName(ini)));

  // A folder where the store's lock file goes: no change can hold the store, so the
  // provider is not asked to change keys whose new passwords could not be recorded.
  const std::string lock = TIniFile(ini).LockFileName();
  fs::remove(fs::path(lock));
  fs::create_directories(fs::path(lock));
  reply = d_.ChangeCAPassword("File", "alice", "NewEncKeyPwd=e3");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "NewEncKeyPwd=e3;ResultMsgStr=" + EscapeParamText(msg::StoredKeyPasswordsNotWritable()));
  EXPECT_EQ(d_.script().Calls().size(), 3u);
  EXPECT_EQ(StoredValue("File", "alice", "EncKeyPwd"), "e");
}

TEST_F(CertificateProviderOpsTest, ValidateCertTakesTheKeyFilesByCaMode) {
  const auto file = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "File", "alice", "", false, "e");
  const auto noMode = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "NoCaMode", "alice", "", false, "e");
  const auto storedKeys = [](const test::SeededCertificates& seeded) {
    return "RootCertFile=" + seeded.root + ";EncCertFile=" + seeded.encCert + ";EncKeyFile=" + seeded.encKey +
           ";EncKeyPwd=e;User=alice;";
  };
  const std::string withKey = "Extra=1;EncKeyFile=k.key;RootCertFile=own.cer";
  struct Case {
    std::string type, request, init;
  };
  const Case cases[] = {
      // Key files in the request: the request, with its own RootCertFile.
      {"File", withKey, withKey + ";User=alice;" + Description("1", "0", "file")},
      // A blank one is filled in from the configuration.
      {"File", "EncKeyFile=k.key;RootCertFile= ",
       "EncKeyFile=k.key;RootCertFile=" + FullPath("root.cer") + ";User=alice;" + Description("1", "0", "file")},
      // Without key files, the stored set alone: the request's other keys stay behind.
      {"File", "Extra=1", storedKeys(file) + Description("1", "0", "file")},
      // An empty CAMODE is certificate-file mode here.
      {"NoCaMode", "Extra=1", storedKeys(noMode) + Description("", "0", "none")},
      // USB-key mode: the request as it came, whatever it holds.
      {"Usb", "Extra=1;EncKeyFile=k.key", "Extra=1;EncKeyFile=k.key;User=alice;" + Description("0", "1", "usb")},
  };
  for (const Case& c : cases) {
    const size_t before = d_.script().Calls().size();
    const ExportReply reply = d_.ValidateCert(c.type, "alice", c.request);
    EXPECT_EQ(reply.ok, 1) << c.type << " " << c.request;
    EXPECT_EQ(reply.params, c.request);
    const auto calls = d_.script().Calls();
    ASSERT_EQ(calls.size(), before + 3) << c.type;
    EXPECT_EQ(calls[before].text, c.init) << c.type << " " << c.request;
    EXPECT_EQ(calls[before + 1].function, "ValidateCert");
    EXPECT_EQ(calls[before + 1].text, "");
  }
}

TEST_F(CertificateProviderOpsTest, ValidateCertFailures) {
  struct Case {
    std::string type, request, message;
  };
  const Case cases[] = {
      {"Pwd", "", msg::CertificateModeRequired()},
      {"File", "Extra=1", msg::ValidationCertificateMissing()},
      {"NoCaMode", "", msg::ValidationCertificateMissing()},
  };
  for (const Case& c : cases) {
    const ExportReply reply = d_.ValidateCert(c.type, "nobody", c.request);
    EXPECT_EQ(reply.ok, 0) << c.type;
    EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), c.message) << c.type;
  }
  EXPECT_EQ(d_.script().Calls().size(), 0u);

  d_.script().Answer("ValidateCert", "0", "ResultMsgStr=expired");
  const ExportReply reply = d_.ValidateCert("Usb", "nobody", "A=1");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "A=1;ResultMsgStr=expired");
  EXPECT_EQ(d_.script().CallOrder(), "InitCrypt ValidateCert FinalCrypt");
}

TEST_F(CertificateProviderOpsTest, AProviderWithoutTheOptionalFunctionsDoesNotSupportThem) {
  Deployment d;
  d.WriteConfig(
      {{"Bare", test::TestProviderPath("qorv_test_provider_without_optional"), "1", "bare", "", "0", "", {}}});
  const std::string request = "A=1;EncKeyFile=k.key";
  const std::string expected = request + ";ResultMsgStr=" + EscapeParamText(msg::ProviderNotSupported());
  for (auto call : {&Deployment::CreateCAFile, &Deployment::ChangeCAPassword, &Deployment::ValidateCert}) {
    const ExportReply reply = (d.*call)("Bare", "u", request);
    EXPECT_EQ(reply.ok, 0);
    EXPECT_EQ(reply.params, expected);
  }
  // Each call still finalised the provider it had initialised.
  EXPECT_EQ(d.script().CallOrder(), "InitCrypt FinalCrypt InitCrypt FinalCrypt InitCrypt FinalCrypt");
}

}  // namespace
}  // namespace qorv
