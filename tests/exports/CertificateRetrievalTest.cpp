// GetCertFile through the built library.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "interface/ParamString.h"
#include "platform/Platform.h"
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

std::string WithOtherCase(std::string path) {
  for (char& c : path) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return path;
}

class CertificateRetrievalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d_.WriteConfig({
        {"File", "", "1", "file", "1", "0", "", {}},
        {"Pair", "", "1", "pair", "1", "1", "", {}},
        {"Other", "", "1", "other", "x", "1", "", {}},
        {"Usb", "", "1", "usb", "0", "1", "", {{"RevenueCode", "3"}}},
        {"Pwd", "", "2", "pwd", "", "", "", {}},
    });
    out_ = d_.dir().File("out") + kSep;
    fs::create_directories(fs::path(out_));
  }

  Deployment d_;
  std::string out_;  // a folder for destinations
};

TEST_F(CertificateRetrievalTest, WithoutDestinationsTheReplyNamesTheStoredFiles) {
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Pair", "alice", "", true);
  ExportReply reply = d_.GetCertFile("Pair", "alice", "A=1;EncCertFile=");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params, "A=1;EncCertFile=" + seeded.encCert + ";SignCertFile=" + seeded.signCert);

  // A CAMODE other than "0" keeps certificates as files too; without the two-pair flag
  // only the encryption certificate is handed out.
  test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Other", "alice", "", true);
  EXPECT_EQ(d_.GetCertFile("Other", "alice", "").ok, 1);
  const auto single = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "File", "alice", "", false);
  reply = d_.GetCertFile("File", "alice", "");
  EXPECT_EQ(reply.params, "EncCertFile=" + single.encCert);
  EXPECT_EQ(d_.script().Calls().size(), 0u);
}

TEST_F(CertificateRetrievalTest, CopiesToTheDestinationsAndReplacesReadOnlyFiles) {
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Pair", "alice", "", true);
  const std::string encOut = out_ + "enc.cer";
  const std::string signOut = d_.dir().Write("out" + kSep + "sign.cer", "old and read-only");
  fs::permissions(fs::path(signOut), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);

  const std::string request = "EncCertFile=" + encOut + ";SignCertFile=" + signOut;
  const ExportReply reply = d_.GetCertFile("Pair", "alice", request);
  EXPECT_EQ(reply.ok, 1) << reply.params;
  EXPECT_EQ(reply.params, request);
  EXPECT_EQ(test::ReadFileBytes(encOut), test::ReadFileBytes(seeded.encCert));
  EXPECT_EQ(test::ReadFileBytes(signOut), test::ReadFileBytes(seeded.signCert));
}

TEST_F(CertificateRetrievalTest, TheStoredFileItselfIsNotCopiedOntoItself) {
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "File", "alice", "", false);
  const std::string content = test::ReadFileBytes(seeded.encCert);
  const fs::path stored(seeded.encCert);
  const std::string dotted =
      (stored.parent_path() / ".." / stored.parent_path().filename() / stored.filename()).string();

  test::CurrentDirGuard guard;
  fs::current_path(stored.parent_path().parent_path());
  const std::string relative = (stored.parent_path().filename() / stored.filename()).string();
  for (const std::string& destination : {seeded.encCert, dotted, relative}) {
    const ExportReply reply = d_.GetCertFile("File", "alice", "EncCertFile=" + destination);
    EXPECT_EQ(reply.ok, 1) << destination << ": " << reply.params;
    EXPECT_EQ(test::ReadFileBytes(seeded.encCert), content) << destination;
  }

  // Another letter case names the same file where names ignore case (Windows, where a
  // copy onto itself would fail) and another file where they count, which gets a copy.
  const std::string otherCase = (stored.parent_path() / WithOtherCase(stored.filename().string())).string();
  const ExportReply reply = d_.GetCertFile("File", "alice", "EncCertFile=" + otherCase);
  EXPECT_EQ(reply.ok, 1) << reply.params;
  EXPECT_EQ(test::ReadFileBytes(otherCase), content);
  EXPECT_EQ(test::ReadFileBytes(seeded.encCert), content);
}

TEST_F(CertificateRetrievalTest, MissingFilesAndFailedCopies) {
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Pair", "alice", "", true);
  const std::string nowhere = d_.dir().File("no-such-folder") + kSep + "x.cer";
  struct Case {
    std::string user, request, message;
  };
  const Case cases[] = {
      {"nobody", "", msg::EncCertificateNotFound()},
      {"alice", "EncCertFile=" + nowhere, msg::EncCertificateCopyFailed()},
      {"alice", "SignCertFile=" + nowhere, msg::SignCertificateCopyFailed()},
      // A folder standing at the destination.
      {"alice", "EncCertFile=" + out_, msg::EncCertificateCopyFailed()},
  };
  for (const Case& c : cases) {
    const ExportReply reply = d_.GetCertFile("Pair", c.user, c.request);
    EXPECT_EQ(reply.ok, 0) << c.request;
    EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), c.message) << c.request;
  }

  // The signing file is looked at after the encryption file has been handed out: its
  // copy is made, or its path named, before the missing signing file fails the call.
  fs::remove(fs::path(seeded.signCert));
  ExportReply reply = d_.GetCertFile("Pair", "alice", "EncCertFile=" + out_ + "enc.cer");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), msg::SignCertificateNotFound());
  EXPECT_EQ(test::ReadFileBytes(out_ + "enc.cer"), test::ReadFileBytes(seeded.encCert));
  reply = d_.GetCertFile("Pair", "alice", "");
  EXPECT_EQ(reply.params,
            "EncCertFile=" + seeded.encCert + ";ResultMsgStr=" + EscapeParamText(msg::SignCertificateNotFound()));
}

TEST_F(CertificateRetrievalTest, UsbKeyModeHandsTheRequestToTheProviderAndItsReplyBack) {
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Usb", "alice", "3", true, "e", "s");
  const std::string script = d_.script().path();
  d_.script().Answer("GetUSBCertFile", "1", "EncCertFile=from-key.cer;Made=1");

  ExportReply reply = d_.GetCertFile("Usb", "alice", "Out=x;ResultMsgStr=old");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params, "EncCertFile=from-key.cer;Made=1");
  ASSERT_EQ(d_.script().CallOrder(), "InitCrypt GetUSBCertFile FinalCrypt");
  const auto calls = d_.script().Calls();
  // The stored set, then User and the description; the extension parameters once.
  EXPECT_EQ(calls[0].text, "RootCertFile=" + seeded.root + ";EncCertFile=" + seeded.encCert +
                               ";EncKeyFile=" + seeded.encKey + ";EncKeyPwd=e;SignCertFile=" + seeded.signCert +
                               ";SignKeyFile=" + seeded.signKey + ";SignKeyPwd=s;User=alice;RevenueCode=3;TestScript=" +
                               script + ";CAMode=0;Mode=1;CAISMULTI=1;DESC=usb");
  EXPECT_EQ(calls[1].text, "Out=x;ResultMsgStr=old");
  EXPECT_EQ(calls[2].text, "");
}

TEST_F(CertificateRetrievalTest, UsbKeyModeFailures) {
  // The provider's string comes back whole on failure too, with no message added.
  d_.script().Answer("GetUSBCertFile", "0", "Why=no key");
  ExportReply reply = d_.GetCertFile("Usb", "nobody", "A=1");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "Why=no key");
  EXPECT_EQ(d_.script().CallOrder(), "InitCrypt GetUSBCertFile FinalCrypt");

  Deployment d;
  d.WriteConfig(
      {{"Usb", "", "1", "usb", "0", "0", "", {}}, {"Gone", "no-such-provider", "1", "usb", "0", "0", "", {}}});
  d.script().Answer("InitCrypt", "0", "ResultMsgStr=locked");
  reply = d.GetCertFile("Usb", "u", "A=1");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "A=1;ResultMsgStr=locked");
  EXPECT_EQ(d.script().CallOrder(), "InitCrypt");

  reply = d.GetCertFile("Gone", "u", "A=1");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "A=1;ResultMsgStr=" + EscapeParamText(msg::ProviderLoadFailed(FullPath("no-such-provider"))));
}

TEST_F(CertificateRetrievalTest, RefusedRequests) {
  struct Case {
    std::string type, user, message;
  };
  const Case cases[] = {
      {"Pwd", "alice", msg::CertificateModeRequired()},
      {"Absent", "alice", msg::CryptTypeNotConfigured(d_.configPath(), "Absent")},
      {"Usb", "a]b", msg::UnsafeStoreName("a]b")},
      {"File", "..", msg::UnsafeStoreName("..")},
  };
  for (const Case& c : cases) {
    const ExportReply reply = d_.GetCertFile(c.type, c.user, "K=v");
    EXPECT_EQ(reply.ok, 0) << c.type;
    EXPECT_EQ(reply.params, "K=v;ResultMsgStr=" + EscapeParamText(c.message)) << c.type;
  }
  EXPECT_EQ(d_.script().Calls().size(), 0u);
}

}  // namespace
}  // namespace qorv
