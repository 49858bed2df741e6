// The exports that only read the stores leave the CA folder exactly as they found it,
// through the built library: no file or folder created, none changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "store/StoreLock.h"
#include "support/Deployment.h"
#include "support/FolderSnapshot.h"
#include "support/StoreSeed.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;
using test::Deployment;
using test::ExportReply;

const std::string kSep(1, platform::kPathSeparator);

TEST(StoreReadsTest, ReadingExportsLeaveTheStoreAsTheyFoundIt) {
  Deployment d;
  d.WriteConfig({{"Pair", "", "1", "pair", "1", "1", "", {{"RevenueCode", "12"}}},
                 {"Usb", "", "1", "usb", "0", "0", "", {}},
                 {"Pwd", "", "2", "pwd", "", "", "", {}}});
  test::SeedCertificates(d.dir(), d.LibraryDir(), "Pair", "alice", "12", true);
  test::SeedCertificates(d.dir(), d.LibraryDir(), "Usb", "alice", "", false);
  test::SeedPassword(d.LibraryDir(), "Pwd", "alice", "secret");
  const std::string ca = d.LibraryDir() + "CA";
  // As a store looks that the Windows profile calls or an older version saved: without
  // lock files.
  for (const std::string type : {"Pair", "Usb", "Pwd"}) {
    fs::remove(fs::path(TStoreLock::LockFileName(ca + kSep + type + kSep + "UserCa_" + type + ".ini")));
  }
  const std::string out = d.dir().File("out") + kSep;
  fs::create_directories(fs::path(out));
  const std::string plain = d.dir().Write("plain.txt", "plain");

  const std::vector<std::pair<std::string, std::function<ExportReply()>>> reads = {
      {"GetCryptInfo", [&] { return d.GetCryptInfo("Pair", "alice", ""); }},
      {"GetCryptInfo of no one", [&] { return d.GetCryptInfo("Pair", "nobody", ""); }},
      {"GetCryptInfo of a password", [&] { return d.GetCryptInfo("Pwd", "alice", ""); }},
      {"GetCertFile", [&] { return d.GetCertFile("Pair", "alice", ""); }},
      {"GetCertFile to files",
       [&] { return d.GetCertFile("Pair", "alice", "EncCertFile=" + out + "e.cer;SignCertFile=" + out + "s.cer"); }},
      {"GetCertFile from a key", [&] { return d.GetCertFile("Usb", "alice", ""); }},
      {"Encrypt", [&] { return d.Encrypt("Pair", "alice", plain, out + "c.x", ""); }},
      {"Decrypt", [&] { return d.Decrypt("Pair", "alice", out + "c.x", out + "c.txt", ""); }},
      {"Encrypt with a password", [&] { return d.Encrypt("Pwd", "alice", plain, out + "p.x", ""); }},
      {"Decrypt with a password", [&] { return d.Decrypt("Pwd", "alice", out + "p.x", out + "p.txt", ""); }},
      {"ValidateCert", [&] { return d.ValidateCert("Pair", "alice", ""); }},
      {"ValidateCert with a key", [&] { return d.ValidateCert("Usb", "alice", ""); }},
      {"CreateCAFile", [&] { return d.CreateCAFile("Pair", "alice", ""); }},
  };
  for (const bool lockFiles : {false, true}) {
    if (lockFiles) {
      // Once a writer has saved, its lock files are there; readers change them no more.
      ASSERT_EQ(d.SetCryptParams("Pwd", "bob", "PassWord=b").ok, 1);
      test::SeedCertificates(d.dir(), d.LibraryDir(), "Pair", "bob", "12", true);
    }
    for (const auto& [name, read] : reads) {
      const test::FolderSnapshot before = test::SnapshotOf(ca);
      ASSERT_FALSE(before.empty());
      const ExportReply reply = read();
      EXPECT_EQ(reply.ok, 1) << name << ": " << reply.params;
      EXPECT_EQ(test::SnapshotOf(ca), before) << name << (lockFiles ? ", with lock files" : "");
    }
  }
}

}  // namespace
}  // namespace qorv
