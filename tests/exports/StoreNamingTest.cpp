// Which records and folders the names of a request reach, through the built library:
// no user reaches a server record, one crypto type and one user have one store each
// whatever the letter case, a revenue code is read as the configuration gives it, and
// double-byte names compare whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "platform/TextConversion.h"
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

// The names in a folder as the file system spells them.
std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(folder))) names.insert(entry.path().filename().string());
  return names;
}

class StoreNamingTest : public ::testing::Test {
 protected:
  std::string Source(const std::string& name, const std::string& content) const {
    fs::create_directories(fs::path(d_.dir().File("src")));
    return d_.dir().Write("src" + kSep + name, content);
  }
  std::string CaDir() const { return d_.LibraryDir() + "CA"; }
  // A user set's request with files of its own, named after tag.
  std::string UserSet(const std::string& tag) const {
    return "RootCertFile=" + Source(tag + "-root.cer", tag) + ";EncCertFile=" + Source(tag + "-enc.cer", tag) +
           ";EncKeyFile=" + Source(tag + "-enc.key", tag) + ";EncKeyPwd=" + tag;
  }

  Deployment d_;
};

TEST_F(StoreNamingTest, NoUserNameReachesAServerRecord) {
  d_.WriteConfig({{"Coded", "", "1", "c", "1", "0", "", {{"RevenueCode", "12"}}},
                  {"Uncoded", "", "1", "u", "1", "0", "", {}},
                  {"Pwd", "", "2", "p", "", "", "", {}}});
  const std::string server = "RevenueEncCertFile=" + Source("server.cer", "the server");
  ASSERT_EQ(d_.SetRevenueCAFile("Coded", server).ok, 1);
  ASSERT_EQ(d_.SetRevenueCAFile("Uncoded", server).ok, 1);
  ASSERT_EQ(d_.SetCaFile("Coded", "alice", UserSet("alice")).ok, 1);
  const std::string attacker = UserSet("attacker");
  const std::string destination = d_.dir().File("handed-out.cer");
  const test::FolderSnapshot before = test::SnapshotOf(CaDir());

  // Today's record, records of codes the type may be given later, in any letter case.
  for (const std::string user : {"Revenue12", "revenue12", "REVENUE12", "Revenue", "rEvEnUe", "Revenue7", "RevenueX"}) {
    for (const std::string type : {"Coded", "Uncoded"}) {
      const ExportReply replies[] = {
          d_.SetCaFile(type, user, attacker),
          d_.GetCryptInfo(type, user, ""),
          d_.GetCertFile(type, user, "EncCertFile=" + destination),
          d_.Encrypt(type, user, destination, destination + ".x", ""),
          d_.Decrypt(type, user, destination, destination + ".x", ""),
          d_.CreateCAFile(type, user, ""),
          d_.ChangeCAPassword(type, user, "NewEncKeyPwd=x"),
          d_.ChangeCAPassword(type, user, "EncKeyFile=k.key;NewEncKeyPwd=x"),
          d_.ValidateCert(type, user, ""),
          d_.SetCryptParams("Pwd", user, "PassWord=x"),
          d_.GetCryptInfo("Pwd", user, ""),
      };
      for (const ExportReply& reply : replies) {
        EXPECT_EQ(reply.ok, 0) << type << " " << user << ": " << reply.params;
        EXPECT_EQ(Message(reply), msg::ReservedUserName(user)) << type << " " << user;
      }
    }
  }
  EXPECT_EQ(test::SnapshotOf(CaDir()), before);
  EXPECT_FALSE(fs::exists(fs::path(destination)));
  EXPECT_EQ(d_.script().Calls().size(), 0u);  // no provider was asked either

  // Names that merely hold the word are users like any other.
  for (const std::string user : {"MyRevenue", "Reven", "Rev12"}) {
    EXPECT_EQ(d_.GetCryptInfo("Coded", user, "").ok, 1) << user;
  }
  // The server record is the one installed.
  EXPECT_EQ(test::ReadFileBytes(GetParamValue(d_.GetCryptInfo("Coded", "alice", "").params, "RevenueEncCertFile")),
            "the server");
}

TEST_F(StoreNamingTest, OneCryptoTypeAndOneUserHaveOneStoreWhateverTheLetterCase) {
  d_.WriteConfig({{"CertPair", "", "1", "c", "1", "0", "", {}}, {"Pwd", "", "2", "p", "", "", "", {}}});
  const std::string aliceDir = CaDir() + kSep + "CertPair" + kSep + "alice" + kSep;
  ExportReply reply = d_.SetCaFile("certpair", "alice", UserSet("first"));
  ASSERT_EQ(reply.ok, 1) << reply.params;
  EXPECT_EQ(GetParamValue(reply.params, "EncCertFile"), FullPath(aliceDir + "first-enc.cer"));

  // Another spelling of the user takes the section that exists, and its folder.
  reply = d_.SetCaFile("CERTPAIR", "ALICE", UserSet("second"));
  ASSERT_EQ(reply.ok, 1) << reply.params;
  EXPECT_EQ(GetParamValue(reply.params, "EncKeyFile"), FullPath(aliceDir + "second-enc.key"));
  reply = d_.GetCryptInfo("CertPair", "Alice", "");
  EXPECT_EQ(GetParamValue(reply.params, "EncKeyFile"), FullPath(aliceDir + "second-enc.key"));
  EXPECT_EQ(GetParamValue(reply.params, "EncKeyPwd"), "second");
  EXPECT_EQ(test::ReadFileBytes(GetParamValue(reply.params, "EncKeyFile")), "second");

  ASSERT_EQ(d_.SetCryptParams("PWD", "Bob", "PassWord=b").ok, 1);
  EXPECT_EQ(GetParamValue(d_.GetCryptInfo("pwd", "BOB", "").params, "PassWord"), "b");

  // The folders and files are named as the configuration names the types, and the user
  // as first saved.
  EXPECT_EQ(NamesIn(CaDir()), (std::set<std::string>{"CertPair", "Pwd"}));
  EXPECT_EQ(NamesIn(CaDir() + kSep + "CertPair"),
            (std::set<std::string>{"alice", "UserCa_CertPair.ini", "UserCa_CertPair.ini.lock"}));
  EXPECT_EQ(NamesIn(CaDir() + kSep + "Pwd"), (std::set<std::string>{"UserCa_Pwd.ini", "UserCa_Pwd.ini.lock"}));
}

TEST_F(StoreNamingTest, ARevenueCodeIsReadAsTheConfigurationGivesIt) {
  d_.WriteConfig({{"Spaced", "", "1", "s", "1", "0", "", {{"RevenueCode", " 12 "}}},
                  {"Pretty", "", "1", "p", "1", "0", "", {{"RevenueCode", "\n        12\n      "}}},
                  {"Tabbed", "", "1", "t", "1", "0", "", {{"RevenueCode", "\t12 "}}}});
  struct Case {
    std::string type, section;
  };
  // Blanks reach the name and are trimmed at its ends as INI sections and folders are;
  // line breaks and tabs go with the blanks beside them.
  const Case cases[] = {{"Spaced", "Revenue 12"}, {"Pretty", "Revenue12"}, {"Tabbed", "Revenue12"}};
  for (const Case& c : cases) {
    ExportReply reply = d_.SetRevenueCAFile(c.type, "RevenueEncCertFile=" + Source("server.cer", "server"));
    ASSERT_EQ(reply.ok, 1) << c.type << ": " << reply.params;
    const std::string copy = FullPath(CaDir() + kSep + c.type + kSep + c.section + kSep + "server.cer");
    EXPECT_EQ(GetParamValue(reply.params, "RevenueEncCertFile"), copy) << c.type;
    const std::string ini = test::ReadFileBytes(CaDir() + kSep + c.type + kSep + "UserCa_" + c.type + ".ini");
    EXPECT_NE(ini.find("[" + c.section + "]\r\n"), std::string::npos) << ini;

    // Reading finds the same record.
    ASSERT_EQ(d_.SetCaFile(c.type, "alice", UserSet("alice")).ok, 1);
    reply = d_.Encrypt(c.type, "alice", Source("plain.txt", "x"), d_.dir().File("plain.x"), "");
    EXPECT_EQ(reply.ok, 1) << c.type << ": " << reply.params;
    EXPECT_EQ(GetParamValue(d_.GetCryptInfo(c.type, "alice", "").params, "RevenueEncCertFile"), copy);
  }
}

TEST_F(StoreNamingTest, DoubleByteNamesMatchOnlyWhole) {
  // GBK 81 41 and 81 61, 8C 57 and 8C 77: trail bytes with the codes of 'A', 'a', 'W'
  // and 'w'. On Windows they are characters whose bytes must all match; elsewhere the
  // texts are UTF-8 and hold no such bytes.
  const std::string upper = platform::Utf8ToHostText("\xE4\xB8\x84");      // 丄
  const std::string lower = platform::Utf8ToHostText("\xE4\xB9\xA4");      // 乤
  const std::string study = platform::Utf8ToHostText("\xE5\xAD\xB8");      // 學
  const std::string injustice = platform::Utf8ToHostText("\xE5\xAF\x83");  // 寃
  if (platform::kWindows) {
    ASSERT_EQ(upper, "\x81\x41");
    ASSERT_EQ(lower, "\x81\x61");
    ASSERT_EQ(study, "\x8C\x57");
    ASSERT_EQ(injustice, "\x8C\x77");
  }
  d_.WriteConfig(
      {{"\xE4\xB8\x84", "", "0", "first", "", "", "", {}},
       {"\xE4\xB9\xA4", "", "0", "second", "", "", "", {}},
       {"Params", "", "0", "p", "", "", "", {{"\xE4\xB8\x84", "v1"}, {"\xE4\xB9\xA4", "v2"}, {"\xE5\xAD\xB8", "v3"}}}});
  EXPECT_EQ(GetParamValue(d_.GetCryptInfo(upper, "u", "").params, "DESC"), "first");
  EXPECT_EQ(GetParamValue(d_.GetCryptInfo(lower, "u", "").params, "DESC"), "second");

  const ExportReply reply = d_.GetCryptInfo("Params", "u", "");
  EXPECT_EQ(GetParamValue(reply.params, upper), "v1") << reply.params;
  EXPECT_EQ(GetParamValue(reply.params, lower), "v2") << reply.params;
  EXPECT_EQ(GetParamValue(reply.params, study), "v3") << reply.params;
  EXPECT_EQ(GetParamValue(reply.params, injustice), "") << reply.params;
}

}  // namespace
}  // namespace qorv
