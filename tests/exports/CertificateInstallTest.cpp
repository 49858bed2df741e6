// SetCaFile and SetRevenueCAFile through the built library.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "store/IniFile.h"
#include "support/Deployment.h"
#include "support/StoreSeed.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;
using test::CryptEntry;
using test::Deployment;
using test::ExportReply;

const std::string kSep(1, platform::kPathSeparator);

class CertificateInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    configuredRoot_ = d_.dir().Write("configured-root.cer", "configured root");
    d_.WriteConfig({
        {"File", "", "1", "file", "1", "0", configuredRoot_, {{"RevenueCode", "12"}}},
        {"Pair", "", "1", "pair", "1", "1", "", {{"RevenueCode", "12"}}},
        {"Usb", "", "1", "usb", "0", "1", "", {}},
        {"MissingRoot", "", "1", "x", "1", "0", "no-such-root.cer", {}},
        {"NoCaMode", "", "1", "x", "", "0", "", {}},
        {"Pwd", "", "2", "pwd", "", "", "", {}},
        {"BadCode", "", "1", "x", "1", "0", "", {{"RevenueCode", "/../x"}}},
    });
  }

  // A path below the deployment's CA folder.
  std::string Stored(const std::string& type, const std::string& section, const std::string& name) const {
    return FullPath(d_.LibraryDir() + "CA" + kSep + type + kSep + section + kSep + name);
  }
  // Source files for a request, in a folder of their own.
  std::string Source(const std::string& name, const std::string& content) const {
    fs::create_directories(fs::path(d_.dir().File("src")));
    return d_.dir().Write("src" + kSep + name, content);
  }
  // Puts a plain file where the deployment's CA folder goes: every store write fails.
  static void BlockCaFolder(const Deployment& d) { d.dir().Write("lib" + kSep + "CA", "in the way"); }

  Deployment d_;
  std::string configuredRoot_;
};

TEST_F(CertificateInstallTest, CertificateFileModeCopiesTheFilesAndRecordsTheCopies) {
  std::string request = ";Keep=1;";
  for (const char* key : {"RootCertFile", "EncCertFile", "EncKeyFile", "SignCertFile", "SignKeyFile"}) {
    request = SetParamValue(request, key, Source(std::string(key) + ".pem", key));
  }
  request = SetParamValue(request, "EncKeyPwd", "e;1");
  request = SetParamValue(request, "SignKeyPwd", "s");

  const ExportReply reply = d_.SetCaFile("Pair", "alice", request);
  ASSERT_EQ(reply.ok, 1) << reply.params;
  // The reply names the copies, where the request had its own files.
  std::string expected = ";Keep=1;";
  for (const char* key : {"RootCertFile", "EncCertFile", "EncKeyFile", "SignCertFile", "SignKeyFile"}) {
    const std::string copy = Stored("Pair", "alice", std::string(key) + ".pem");
    EXPECT_EQ(test::ReadFileBytes(copy), key);
    expected = SetParamValue(expected, key, copy);
  }
  expected = SetParamValue(expected, "EncKeyPwd", "e;1");
  expected = SetParamValue(expected, "SignKeyPwd", "s");
  EXPECT_EQ(reply.params, expected);

  // The store hands the same set back.
  const ExportReply info = d_.GetCryptInfo("Pair", "alice", "");
  for (const char* key :
       {"RootCertFile", "EncCertFile", "EncKeyFile", "SignCertFile", "SignKeyFile", "EncKeyPwd", "SignKeyPwd"}) {
    EXPECT_EQ(GetParamValue(info.params, key), GetParamValue(reply.params, key)) << key;
  }
  EXPECT_EQ(d_.script().Calls().size(), 0u);
}

TEST_F(CertificateInstallTest, ABlankRootCertFileTakesTheConfiguredOneAndKeepsItWhenSavingFails) {
  const std::string enc = Source("enc.cer", "enc");
  const std::string key = Source("enc.key", "key");
  const std::string files = "EncCertFile=" + enc + ";EncKeyFile=" + key;

  // Blank means empty after trimming spaces and control characters.
  for (const std::string& root : {std::string(), std::string("RootCertFile= \t;")}) {
    const ExportReply reply = d_.SetCaFile("File", "alice", root + files);
    EXPECT_EQ(reply.ok, 1) << reply.params;
    EXPECT_EQ(GetParamValue(reply.params, "RootCertFile"), Stored("File", "alice", "configured-root.cer"));
    EXPECT_EQ(test::ReadFileBytes(Stored("File", "alice", "configured-root.cer")), "configured root");
  }

  // A configured root certificate that does not exist passes the check and fails the
  // save; the reply keeps it in full form.
  ExportReply reply = d_.SetCaFile("MissingRoot", "alice", files);
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, files + ";RootCertFile=" + FullPath("no-such-root.cer") +
                              ";ResultMsgStr=" + EscapeParamText(msg::UserCertificateFilesSaveFailed()));

  // A refused write: the CA folder cannot be made.
  Deployment blocked;
  blocked.WriteConfig({{"File", "", "1", "file", "1", "0", configuredRoot_, {}}});
  BlockCaFolder(blocked);
  reply = blocked.SetCaFile("File", "alice", files);
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, files + ";RootCertFile=" + FullPath(configuredRoot_) +
                              ";ResultMsgStr=" + EscapeParamText(msg::UserCertificateFilesSaveFailed()));
}

TEST_F(CertificateInstallTest, RequestValuesReplaceACompleteStoredSet) {
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "File", "alice", "12", false);
  // No EncKeyFile in the request: the stored one does not stand in for it.
  const ExportReply reply = d_.SetCaFile("File", "alice", "A=1;EncCertFile=" + seeded.encCert);
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), msg::UserCertificateFilesNotFound());
  EXPECT_EQ(GetParamValue(reply.params, "A"), "1");
  EXPECT_EQ(GetParamValue(d_.GetCryptInfo("File", "alice", "").params, "EncKeyFile"), seeded.encKey);

  // A named file that does not exist fails the same way.
  EXPECT_EQ(
      GetParamValue(d_.SetCaFile("File", "bob", "EncCertFile=" + seeded.encCert + ";EncKeyFile=nowhere.key").params,
                    "ResultMsgStr"),
      msg::UserCertificateFilesNotFound());
}

TEST_F(CertificateInstallTest, AFailedSaveLeavesTheStoredSetAsItWas) {
  enum class Block { CopyTarget, IniFile };
  for (const Block block : {Block::CopyTarget, Block::IniFile}) {
    Deployment d;
    d.WriteConfig({{"File", "", "1", "file", "1", "0", "", {}}});
    const auto seeded = test::SeedCertificates(d.dir(), d.LibraryDir(), "File", "alice", "", false, "old-pwd");
    const std::string oldRoot = test::ReadFileBytes(seeded.root);
    const std::string oldEnc = test::ReadFileBytes(seeded.encCert);
    const std::string oldKey = test::ReadFileBytes(seeded.encKey);

    // New files under the names of the stored copies; with CopyTarget the key's copy
    // cannot be made because a folder stands where it goes.
    fs::create_directories(fs::path(d.dir().File("new")));
    const std::string root = d.dir().Write("new" + kSep + "RootCertFile-alice.pem", "new root");
    const std::string enc = d.dir().Write("new" + kSep + "EncCertFile-alice.pem", "new enc");
    std::string key = d.dir().Write("new" + kSep + "EncKeyFile-alice.pem", "new key");
    if (block == Block::CopyTarget) {
      key = d.dir().Write("new" + kSep + "blocked.key", "new key");
      fs::create_directories(fs::path(seeded.encKey).parent_path() / "blocked.key");
    } else {
      const std::string lock =
          TIniFile(d.LibraryDir() + "CA" + kSep + "File" + kSep + "UserCa_File.ini").LockFileName();
      fs::remove(fs::path(lock));
      fs::create_directories(fs::path(lock));
    }

    const ExportReply reply = d.SetCaFile(
        "File", "alice", "RootCertFile=" + root + ";EncCertFile=" + enc + ";EncKeyFile=" + key + ";EncKeyPwd=new");
    EXPECT_EQ(reply.ok, 0);
    EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), msg::UserCertificateFilesSaveFailed());
    // The stored copies hold what they held, and the record still names them.
    EXPECT_EQ(test::ReadFileBytes(seeded.root), oldRoot);
    EXPECT_EQ(test::ReadFileBytes(seeded.encCert), oldEnc);
    EXPECT_EQ(test::ReadFileBytes(seeded.encKey), oldKey);
    const ExportReply info = d.GetCryptInfo("File", "alice", "");
    EXPECT_EQ(GetParamValue(info.params, "EncCertFile"), seeded.encCert);
    EXPECT_EQ(GetParamValue(info.params, "EncKeyPwd"), "old-pwd");
  }
}

TEST_F(CertificateInstallTest, UsbKeyModeRecordsThePasswordsOnly) {
  const std::string enc = Source("enc.cer", "enc");
  ExportReply reply = d_.SetCaFile("Usb", "alice", "EncKeyPwd=e1;EncCertFile=" + enc);
  EXPECT_EQ(reply.ok, 1) << reply.params;
  // Paths come back as taken, absent ones present and empty; nothing is copied.
  EXPECT_EQ(reply.params,
            "EncKeyPwd=e1;EncCertFile=" + enc + ";RootCertFile=;EncKeyFile=;SignCertFile=;SignKeyFile=;SignKeyPwd=");
  EXPECT_FALSE(fs::exists(fs::path(Stored("Usb", "alice", ""))));
  const ExportReply info = d_.GetCryptInfo("Usb", "alice", "");
  EXPECT_EQ(GetParamValue(info.params, "EncKeyPwd"), "e1");
  EXPECT_EQ(GetParamValue(info.params, "EncCertFile"), "");  // no path is recorded
  EXPECT_NE(info.params.find(";SignKeyPwd=;"), std::string::npos) << info.params;

  // A refused write.
  Deployment blocked;
  blocked.WriteConfig({{"Usb", "", "1", "usb", "0", "1", "", {}}});
  BlockCaFolder(blocked);
  reply = blocked.SetCaFile("Usb", "bob", "EncKeyPwd=e1");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "EncKeyPwd=e1;ResultMsgStr=" + EscapeParamText(msg::UserCertificatePasswordsSaveFailed()));
}

TEST_F(CertificateInstallTest, RequestsThatCannotInstallAUserSet) {
  struct Case {
    std::string type, user, expectedReply;
  };
  const std::string request = ";A=1;EncKeyPwd=p;";
  const Case cases[] = {
      {"Pwd", "alice", ";A=1;EncKeyPwd=p;;ResultMsgStr=" + EscapeParamText(msg::CertificateModeRequired())},
      {"Absent", "alice",
       ";A=1;EncKeyPwd=p;;ResultMsgStr=" + EscapeParamText(msg::CryptTypeNotConfigured(d_.configPath(), "Absent"))},
      // No CAMODE to install for: refused without a message.
      {"NoCaMode", "alice", request},
      {"Usb", "../x", ";A=1;EncKeyPwd=p;;ResultMsgStr=" + EscapeParamText(msg::UnsafeStoreName("../x"))},
      // An empty user has no section to record into.
      {"Usb", "", ";A=1;EncKeyPwd=p;;ResultMsgStr=" + EscapeParamText(msg::UnsafeStoreName(""))},
  };
  for (const Case& c : cases) {
    const ExportReply reply = d_.SetCaFile(c.type, c.user, request);
    EXPECT_EQ(reply.ok, 0) << c.type << " " << c.user;
    EXPECT_EQ(reply.params, c.expectedReply) << c.type << " " << c.user;
  }
  EXPECT_FALSE(fs::exists(fs::path(d_.LibraryDir() + "CA")));
}

TEST_F(CertificateInstallTest, ServerCertificatesGoIntoTheRevenueRecord) {
  const std::string enc = Source("server-enc.cer", "server enc");
  const std::string sign = Source("server-sign.cer", "server sign");
  ExportReply reply = d_.SetRevenueCAFile("Pair", "RevenueEncCertFile=" + enc + ";RevenueSignCertFile=" + sign);
  ASSERT_EQ(reply.ok, 1) << reply.params;
  const std::string encCopy = Stored("Pair", "Revenue12", "server-enc.cer");
  const std::string signCopy = Stored("Pair", "Revenue12", "server-sign.cer");
  EXPECT_EQ(reply.params, "RevenueEncCertFile=" + encCopy + ";RevenueSignCertFile=" + signCopy);
  EXPECT_EQ(test::ReadFileBytes(signCopy), "server sign");
  reply = d_.GetCryptInfo("Pair", "anyone", "");
  EXPECT_EQ(GetParamValue(reply.params, "RevenueEncCertFile"), encCopy);
  EXPECT_EQ(GetParamValue(reply.params, "RevenueSignCertFile"), signCopy);

  // Without a RevenueCode the record is "Revenue"; USB-key mode installs it too, and
  // without the two-pair flag the signing certificate is not looked at.
  reply = d_.SetRevenueCAFile("Usb", "RevenueEncCertFile=" + enc + ";RevenueSignCertFile=" + sign);
  EXPECT_EQ(reply.ok, 1) << reply.params;
  EXPECT_EQ(GetParamValue(reply.params, "RevenueEncCertFile"), Stored("Usb", "Revenue", "server-enc.cer"));
  reply = d_.SetRevenueCAFile("File", "RevenueEncCertFile=" + enc + ";RevenueSignCertFile=missing");
  EXPECT_EQ(reply.ok, 1) << reply.params;
}

TEST_F(CertificateInstallTest, RequestsThatCannotInstallTheServerRecord) {
  const std::string enc = Source("server-enc.cer", "server enc");
  struct Case {
    std::string type, request, message;
  };
  const Case cases[] = {
      {"Pwd", "RevenueEncCertFile=" + enc, msg::CertificateModeRequired()},
      {"File", "", msg::ServerCertificateFilesNotFound()},
      // With the two-pair flag the signing certificate must exist too.
      {"Pair", "RevenueEncCertFile=" + enc + ";RevenueSignCertFile=missing.cer", msg::ServerCertificateFilesNotFound()},
      {"BadCode", "RevenueEncCertFile=" + enc, msg::UnsafeStoreName("Revenue/../x")},
  };
  for (const Case& c : cases) {
    const ExportReply reply = d_.SetRevenueCAFile(c.type, c.request);
    EXPECT_EQ(reply.ok, 0) << c.type;
    EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), c.message) << c.type;
  }

  // A refused write.
  BlockCaFolder(d_);
  const ExportReply reply = d_.SetRevenueCAFile("File", "RevenueEncCertFile=" + enc);
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params,
            "RevenueEncCertFile=" + enc + ";ResultMsgStr=" + EscapeParamText(msg::ServerCertificateFilesSaveFailed()));
}

}  // namespace
}  // namespace qorv
