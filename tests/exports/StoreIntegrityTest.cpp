// What the store accepts and how it copies, through the built library: links and
// planted files in the folders are never written through, copies and folders are
// private, sources that are no certificate file are refused before anything is copied,
// every file of a set has a copy of its own, nothing is stored that would not read back,
// and a password change on the stored key files is recorded.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "support/Deployment.h"
#include "support/FolderSnapshot.h"
#include "support/StoreSeed.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;
using test::Deployment;
using test::ExportReply;

const std::string kSep(1, platform::kPathSeparator);

std::string Message(const ExportReply& reply) { return GetParamValue(reply.params, "ResultMsgStr"); }

fs::perms ModeOf(const std::string& path) { return fs::symlink_status(fs::path(path)).permissions() & fs::perms::all; }

class StoreIntegrityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d_.WriteConfig({{"File", "", "1", "file", "1", "0", "", {}},
                    {"Pair", "", "1", "pair", "1", "1", "", {}},
                    {"Usb", "", "1", "usb", "0", "0", "", {}},
                    {"Pwd", "", "2", "pwd", "", "", "", {}}});
  }
  // A file in a folder of its own below the test's folder.
  std::string Source(const std::string& folder, const std::string& name, const std::string& content) const {
    fs::create_directories(fs::path(d_.dir().File(folder)));
    return d_.dir().Write(folder + kSep + name, content);
  }
  std::string CaDir() const { return d_.LibraryDir() + "CA"; }
  std::string CertDir(const std::string& type, const std::string& user) const {
    return CaDir() + kSep + type + kSep + user + kSep;
  }
  std::string Files(const std::string& cert, const std::string& key) const {
    return "EncCertFile=" + cert + ";EncKeyFile=" + key + ";EncKeyPwd=p";
  }

  Deployment d_;
};

TEST_F(StoreIntegrityTest, LinksInTheFoldersAreReplacedNeverWrittenThrough) {
  if (platform::kWindows) GTEST_SKIP() << "wine makes no symbolic links the tests can plant";
  const std::string victim = d_.dir().Write("victim.txt", "the victim's own bytes");
  const std::string cert = Source("src", "enc.cer", "certificate");
  const std::string key = Source("src", "enc.key", "private key");
  ASSERT_EQ(d_.SetCaFile("File", "alice", Files(cert, key)).ok, 1);

  // Links where a copy's temporary file went, and in place of the stored copies.
  const std::string certDir = CertDir("File", "alice");
  fs::create_symlink(fs::path(victim), fs::path(certDir + "enc.key.copying"));
  fs::create_symlink(fs::path(victim), fs::path(certDir + "enc.cer.copying"));
  fs::remove(fs::path(certDir + "enc.cer"));
  fs::create_symlink(fs::path(victim), fs::path(certDir + "enc.cer"));
  ExportReply reply = d_.SetCaFile(
      "File", "alice", Files(Source("new", "enc.cer", "new certificate"), Source("new", "enc.key", "new private key")));
  ASSERT_EQ(reply.ok, 1) << reply.params;
  EXPECT_EQ(test::ReadFileBytes(victim), "the victim's own bytes");
  EXPECT_FALSE(fs::is_symlink(fs::path(certDir + "enc.cer")));
  EXPECT_EQ(test::ReadFileBytes(certDir + "enc.cer"), "new certificate");
  EXPECT_EQ(test::ReadFileBytes(certDir + "enc.key"), "new private key");

  // The same in a destination folder of GetCertFile.
  const std::string out = d_.dir().File("out") + kSep;
  fs::create_directories(fs::path(out));
  fs::create_symlink(fs::path(victim), fs::path(out + "handed.cer.copying"));
  fs::create_symlink(fs::path(victim), fs::path(out + "handed.cer"));
  reply = d_.GetCertFile("File", "alice", "EncCertFile=" + out + "handed.cer");
  ASSERT_EQ(reply.ok, 1) << reply.params;
  EXPECT_EQ(test::ReadFileBytes(victim), "the victim's own bytes");
  EXPECT_FALSE(fs::is_symlink(fs::path(out + "handed.cer")));
  EXPECT_EQ(test::ReadFileBytes(out + "handed.cer"), "new certificate");

  // A link standing for the set's folder itself: nothing goes through it.
  const std::string elsewhere = d_.dir().File("elsewhere");
  fs::create_directories(fs::path(elsewhere));
  fs::create_directory_symlink(fs::path(elsewhere), fs::path(CaDir() + kSep + "File" + kSep + "bob"));
  reply = d_.SetCaFile("File", "bob", Files(cert, key));
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(Message(reply), msg::UserCertificateFilesSaveFailed());
  EXPECT_TRUE(fs::is_empty(fs::path(elsewhere)));
}

TEST_F(StoreIntegrityTest, StoreFoldersAndCopiesAreTheOwnersAlone) {
  if (platform::kWindows) GTEST_SKIP() << "POSIX permissions";
  const std::string cert = Source("src", "enc.cer", "certificate");
  const std::string key = Source("src", "enc.key", "private key");
  fs::permissions(fs::path(key),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  ASSERT_EQ(d_.SetCaFile("File", "alice", Files(cert, key)).ok, 1);
  const std::string certDir = CertDir("File", "alice");
  for (const std::string& folder : {CaDir(), CaDir() + kSep + "File", certDir}) {
    EXPECT_EQ(ModeOf(folder), fs::perms::owner_all) << folder;
  }
  const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
  EXPECT_EQ(ModeOf(certDir + "enc.key"), ownerOnly);

  // Files anyone may read, planted where a copy goes and where its temporary file went:
  // a copy takes none of their permissions.
  for (const std::string name : {"enc.key.copying", "enc.cer"}) {
    fs::remove(fs::path(certDir + name));
    d_.dir().Write("lib" + kSep + "CA" + kSep + "File" + kSep + "alice" + kSep + name, "planted");
    fs::permissions(fs::path(certDir + name), fs::perms::all);
  }
  ASSERT_EQ(d_.SetCaFile("File", "alice", Files(cert, key)).ok, 1);
  EXPECT_EQ(ModeOf(certDir + "enc.key"), ownerOnly);
  EXPECT_EQ(ModeOf(certDir + "enc.cer"), ownerOnly);
  EXPECT_EQ(test::ReadFileBytes(certDir + "enc.key"), "private key");
}

TEST_F(StoreIntegrityTest, SourcesThatAreNoCertificateFileAreRefusedBeforeAnythingIsCopied) {
  const std::string huge = Source("src", "huge.key", "");
  fs::resize_file(fs::path(huge), 16 * 1024 * 1024 + 1);
  const std::string cert = Source("src", "enc.cer", "c");
  const std::string root = Source("src", "root.cer", "r");
  ASSERT_EQ(d_.SetRevenueCAFile("File", "RevenueEncCertFile=" + cert).ok, 1);
  const test::FolderSnapshot before = test::SnapshotOf(CaDir());

  struct Case {
    std::string source, message;
  };
  std::vector<Case> cases = {{huge, msg::CertificateFileTooLarge(huge)}};
  // A device on Windows has a name that the full-path rules of the store turn into one
  // that names no file (NUL becomes \\.\NUL), so it is not found in the first place.
  if (!platform::kWindows) cases.push_back({"/dev/null", msg::CertificateFileNotRegular("/dev/null")});
  for (const Case& c : cases) {
    // The bad file comes last: the good ones before it are not copied either.
    ExportReply reply = d_.SetCaFile("File", "alice", "RootCertFile=" + root + ";" + Files(cert, c.source));
    EXPECT_EQ(reply.ok, 0) << c.source;
    EXPECT_EQ(Message(reply), c.message) << c.source;
    reply = d_.SetRevenueCAFile("File", "RevenueEncCertFile=" + c.source);
    EXPECT_EQ(reply.ok, 0) << c.source;
    EXPECT_EQ(Message(reply), c.message) << c.source;
  }
  EXPECT_EQ(test::SnapshotOf(CaDir()), before);
}

TEST_F(StoreIntegrityTest, FilesOfOneNameFromDifferentFoldersEachGetACopy) {
  std::string request;
  for (const std::string pair : {"Enc", "Sign"}) {
    request = SetParamValue(request, pair + "CertFile", Source(pair, "cert.pem", pair + " certificate"));
    request = SetParamValue(request, pair + "KeyFile", Source(pair, "key.pem", pair + " key"));
    request = SetParamValue(request, pair + "KeyPwd", pair);
  }
  request = SetParamValue(request, "RootCertFile", Source("Root", "cert.pem", "root"));
  ExportReply reply = d_.SetCaFile("Pair", "alice", request);
  ASSERT_EQ(reply.ok, 1) << reply.params;

  const ExportReply info = d_.GetCryptInfo("Pair", "alice", "");
  for (const std::string pair : {"Enc", "Sign"}) {
    EXPECT_EQ(test::ReadFileBytes(GetParamValue(info.params, pair + "CertFile")), pair + " certificate");
    EXPECT_EQ(test::ReadFileBytes(GetParamValue(info.params, pair + "KeyFile")), pair + " key");
    EXPECT_EQ(GetParamValue(info.params, pair + "CertFile"), GetParamValue(reply.params, pair + "CertFile"));
  }
  EXPECT_EQ(test::ReadFileBytes(GetParamValue(info.params, "RootCertFile")), "root");
  EXPECT_EQ(test::SnapshotOf(CertDir("Pair", "alice")).size(), 5u);

  // Handed out, each is the right one.
  const std::string out = d_.dir().File("out") + kSep;
  fs::create_directories(fs::path(out));
  reply = d_.GetCertFile("Pair", "alice", "EncCertFile=" + out + "enc.pem;SignCertFile=" + out + "sign.pem");
  ASSERT_EQ(reply.ok, 1) << reply.params;
  EXPECT_EQ(test::ReadFileBytes(out + "enc.pem"), "Enc certificate");
  EXPECT_EQ(test::ReadFileBytes(out + "sign.pem"), "Sign certificate");

  // Installing again from the stored copies keeps them as they are.
  ASSERT_EQ(d_.SetCaFile("Pair", "alice", info.params).ok, 1);
  EXPECT_EQ(test::SnapshotOf(CertDir("Pair", "alice")).size(), 5u);
  EXPECT_EQ(test::ReadFileBytes(GetParamValue(d_.GetCryptInfo("Pair", "alice", "").params, "SignKeyFile")), "Sign key");
}

TEST_F(StoreIntegrityTest, NothingIsStoredThatWouldNotReadBackWhole) {
  // 150 digits hold ten characters and two more each further one: 958 fit in 2,047.
  const std::string longest(958, 'p');
  const std::string tooLong(959, 'p');
  ASSERT_EQ(d_.SetCryptParams("Pwd", "alice", "PassWord=" + longest).ok, 1);
  EXPECT_EQ(GetParamValue(d_.GetCryptInfo("Pwd", "alice", "").params, "PassWord"), longest);
  const std::string cert = Source("src", "enc.cer", "c");
  const std::string key = Source("src", "enc.key", "k");
  ASSERT_EQ(d_.SetCaFile("File", "alice", Files(cert, key)).ok, 1);
  const test::FolderSnapshot before = test::SnapshotOf(CaDir());

  const ExportReply replies[] = {
      d_.SetCryptParams("Pwd", "alice", "PassWord=" + tooLong),
      d_.SetCryptParams("Pwd", "bob", "PassWord=" + tooLong),
      d_.SetCaFile("File", "bob", Files(cert, key) + tooLong),
      d_.SetCaFile("Usb", "bob", "EncKeyPwd=" + tooLong),
      // Refused before the provider seals the keys with a password the store cannot hold.
      d_.ChangeCAPassword("File", "alice", "NewEncKeyPwd=" + tooLong),
  };
  for (const ExportReply& reply : replies) {
    EXPECT_EQ(reply.ok, 0) << reply.params.substr(0, 200);
    EXPECT_EQ(Message(reply), msg::PasswordTooLongToStore());
  }
  EXPECT_EQ(d_.script().Calls().size(), 0u);
  EXPECT_EQ(GetParamValue(d_.GetCryptInfo("Pwd", "alice", "").params, "PassWord"), longest);

  // A file name that ends in a blank, which the store's reader would cut off.
  if (!platform::kWindows) {
    const std::string blank = Source("src", "enc.key ", "k");
    const ExportReply reply = d_.SetCaFile("File", "bob", Files(cert, blank));
    EXPECT_EQ(reply.ok, 0);
    EXPECT_EQ(Message(reply), msg::PathTooLongToStore(CertDir("File", "bob") + "enc.key "));
  }
  EXPECT_EQ(test::SnapshotOf(CaDir()), before);
}

TEST_F(StoreIntegrityTest, APasswordChangeOnTheStoredKeyFilesIsRecorded) {
  const auto seeded = test::SeedCertificates(d_.dir(), d_.LibraryDir(), "Pair", "alice", "", true, "e1", "s1");
  const std::string otherKey = Source("other", "sign.key", "k");
  // The stored paths as GetCryptInfo gives them; under the Windows rules in another case.
  std::string encKey = seeded.encKey;
  if (platform::kWindows) {
    for (char& c : encKey) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  ExportReply reply = d_.ChangeCAPassword(
      "Pair", "alice", "EncKeyFile=" + encKey + ";SignKeyFile=" + seeded.signKey + ";NewEncKeyPwd=e2;NewSignKeyPwd=s2");
  ASSERT_EQ(reply.ok, 1) << reply.params;
  ExportReply info = d_.GetCryptInfo("Pair", "alice", "");
  EXPECT_EQ(GetParamValue(info.params, "EncKeyPwd"), "e2");
  EXPECT_EQ(GetParamValue(info.params, "SignKeyPwd"), "s2");

  // A key named elsewhere keeps the stored password of the stored key.
  reply = d_.ChangeCAPassword(
      "Pair", "alice",
      "EncKeyFile=" + seeded.encKey + ";SignKeyFile=" + otherKey + ";NewEncKeyPwd=e3;NewSignKeyPwd=s3");
  ASSERT_EQ(reply.ok, 1) << reply.params;
  info = d_.GetCryptInfo("Pair", "alice", "");
  EXPECT_EQ(GetParamValue(info.params, "EncKeyPwd"), "e3");
  EXPECT_EQ(GetParamValue(info.params, "SignKeyPwd"), "s2");

  // Nothing is recorded when the provider refuses.
  d_.script().Answer("ChangeCAPassword", "0", "ResultMsgStr=no");
  reply = d_.ChangeCAPassword("Pair", "alice",
                              "EncKeyFile=" + seeded.encKey + ";SignKeyFile=" + seeded.signKey + ";NewEncKeyPwd=e4");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(GetParamValue(d_.GetCryptInfo("Pair", "alice", "").params, "EncKeyPwd"), "e3");
}

}  // namespace
}  // namespace qorv
