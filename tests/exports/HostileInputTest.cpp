// Hostile and faulty input through the exports: every case ends with a clear answer,
// nothing is written outside the CA folder, nothing stored is lost, the process lives.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "QorvCryptManage.h"
#include "interface/ParamString.h"
#include "support/ConfigXml.h"
#include "support/Deployment.h"
#include "util/Messages.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;
using test::CryptEntry;
using test::Deployment;

// Every file of the deployment outside the CA folder, with its content.
std::map<std::string, std::string> FilesOutsideStore(const Deployment& d) {
  std::map<std::string, std::string> files;
  const fs::path store = fs::path(d.LibraryDir()) / "CA";
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(d.dir().path()))) {
    const fs::path path = entry.path();
    if (path.string().rfind(store.string(), 0) == 0 || !entry.is_regular_file()) continue;
    // The test provider's own record of calls grows by design.
    if (path.filename().string().find("provider-script") != std::string::npos) continue;
    files[path.string()] = test::ReadFileBytes(path.string());
  }
  return files;
}

std::string Message(const test::ExportReply& reply) { return GetParamValue(reply.params, "ResultMsgStr"); }

TEST(HostileInputTest, NamesThatWouldLeaveTheStoreOrBreakTheIniAreRefused) {
  Deployment d;
  d.WriteConfig({{"Cert", "", "1", "c", "1", "0", "", {}},
                 {"Pwd", "", "2", "p", "", "", "", {}},
                 {"../Evil", "", "2", "p", "", "", "", {}},
                 {"BadCode", "", "1", "c", "1", "0", "", {{"RevenueCode", "/../../x"}}}});
  const std::string cert = d.dir().Write("user.cer", "cert");
  const std::string key = d.dir().Write("user.key", "key");
  const auto before = FilesOutsideStore(d);

  const std::string users[] = {"../evil", "..\\evil", "a/b", "a\\b", "x]y", "[x", "..", ".", "",
                               "nl\r\n[Evil]", "tab\there", "trail.", " lead"};
  for (const std::string& user : users) {
    test::ExportReply reply = d.SetCaFile("Cert", user, "EncCertFile=" + cert + ";EncKeyFile=" + key);
    EXPECT_EQ(reply.ok, 0) << user;
    EXPECT_EQ(Message(reply), msg::UnsafeStoreName(user)) << user;
    reply = d.SetCryptParams("Pwd", user, "PassWord=x");
    EXPECT_EQ(reply.ok, 0) << user;
    EXPECT_EQ(Message(reply), msg::UnsafeStoreName(user)) << user;
  }
  test::ExportReply reply = d.SetCryptParams("../Evil", "u", "PassWord=x");
  EXPECT_EQ(Message(reply), msg::UnsafeStoreName("../Evil"));
  reply = d.SetRevenueCAFile("BadCode", "RevenueEncCertFile=" + cert);
  EXPECT_EQ(Message(reply), msg::UnsafeStoreName("Revenue/../../x"));

  // Nothing was created, in the store or anywhere else.
  EXPECT_FALSE(fs::exists(fs::path(d.LibraryDir()) / "CA"));
  EXPECT_EQ(FilesOutsideStore(d), before);
}

TEST(HostileInputTest, HostileConfigurationsAreUnreadable) {
  Deployment d;
  const std::string secret = d.dir().Write("secret.txt", "TOP-SECRET");
  std::string deep = "<CRYPTS><CRYPT><NAME>T</NAME><EXTENDS>";
  for (int i = 0; i < 5000; ++i) deep += "<x>";
  for (int i = 0; i < 5000; ++i) deep += "</x>";
  deep += "</EXTENDS></CRYPT></CRYPTS>";
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE R [<!ENTITY a \"aaaaaaaaaa\">";
  for (char c = 'b'; c <= 'k'; ++c) {
    laughs += std::string("<!ENTITY ") + c + " \"";
    for (int i = 0; i < 10; ++i) laughs += std::string("&") + static_cast<char>(c - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><R><CRYPT><NAME>T</NAME><DESC>&k;</DESC></CRYPT></R>";

  const std::string documents[] = {
      "<!DOCTYPE R [<!ENTITY s SYSTEM \"" + secret + "\">]><R><CRYPT><NAME>T</NAME><DESC>&s;</DESC></CRYPT></R>",
      "<!DOCTYPE R SYSTEM \"" + secret + "\"><R><CRYPT><NAME>T</NAME></CRYPT></R>",
      laughs,
      deep,
      "<R><CRYPT><NAME>T\xFF\xFE</NAME></CRYPT></R>",
      std::string("<R><CRYPT><NAME>T\0</NAME></CRYPT></R>", 33),
      "\xFF\xFE<\0R\0",
  };
  for (const std::string& document : documents) {
    const std::string path = d.dir().Write("hostile.xml", document);
    std::vector<char> list(4096, '#');
    std::vector<char> params(65536, '\0');
    char* text = params.data();
    EXPECT_EQ(GetCryptList(0, path.c_str(), list.data(), &text), 0);
    EXPECT_EQ(GetParamValue(text, "ResultMsgStr"), msg::ListParseError(path)) << document.substr(0, 80);
    EXPECT_EQ(std::string(text).find("TOP-SECRET"), std::string::npos);
  }
  // The same files fail the manager's configuration check.
  d.WriteConfig({});
  for (const std::string& document : {documents[0], documents[2], documents[3]}) {
    d.dir().Write("crypt.xml", document);
    const test::ExportReply reply = d.GetCryptInfo("T", "u", "");
    EXPECT_EQ(reply.ok, 0);
    EXPECT_EQ(Message(reply), msg::ConfigReadError(d.configPath()));
  }
}

TEST(HostileInputTest, HugeInputsAreHandledWhole) {
  Deployment d;
  std::vector<CryptEntry> entries;
  for (int i = 0; i < 10000; ++i) entries.push_back({"T" + std::to_string(i), "", "0", "d", "", "", "", {}});
  entries.push_back({"Last", "", "2", std::string(100000, 'D'), "", "", "", {}});
  entries.push_back({"Usb", "", "1", "usb", "0", "", "", {}});
  d.WriteConfig(entries);
  const std::string big(4 * 1024 * 1024, 'v');
  test::ExportReply reply = d.GetCryptInfo("Last", "u", "Big=" + big);
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(GetParamValue(reply.params, "Big"), big);
  EXPECT_EQ(GetParamValue(reply.params, "DESC"), std::string(100000, 'D'));

  // In USB-key mode the request goes to InitCrypt as it came: whole, however long.
  reply = d.ValidateCert("Usb", "u", "Big=" + big);
  EXPECT_EQ(reply.ok, 1);
  const auto calls = d.script().Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(GetParamValue(calls.front().text, "Big"), big);
}

TEST(HostileInputTest, AStoreThatCannotBeWrittenLosesNothing) {
  Deployment d;
  d.WriteConfig({{"Pwd", "", "2", "p", "", "", "", {}}});
  ASSERT_EQ(d.SetCryptParams("Pwd", "alice", "PassWord=first").ok, 1);
  const char sep = d.dir().path().back();
  const std::string ini = d.LibraryDir() + "CA" + sep + "Pwd" + sep + "UserCa_Pwd.ini";
  const std::string stored = test::ReadFileBytes(ini);
  ASSERT_FALSE(stored.empty());

  // A folder standing where the store's lock file must be: no save can go ahead, even
  // for root, and the file keeps what it had.
  fs::create_directory(fs::path(ini + ".lock.blocked"));
  fs::rename(fs::path(ini + ".lock"), fs::path(ini + ".lock.old"));
  fs::rename(fs::path(ini + ".lock.blocked"), fs::path(ini + ".lock"));
  test::ExportReply reply = d.SetCryptParams("Pwd", "bob", "PassWord=second");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(Message(reply), msg::UserPasswordSaveFailed());
  EXPECT_EQ(test::ReadFileBytes(ini), stored);
  EXPECT_EQ(GetParamValue(d.GetCryptInfo("Pwd", "alice", "").params, "PassWord"), "first");

  // A file standing where the crypto type's folder must be.
  Deployment blocked;
  blocked.WriteConfig({{"Pwd", "", "2", "p", "", "", "", {}}});
  blocked.dir().Write("lib" + std::string(1, sep) + "CA", "not a folder");
  reply = blocked.SetCryptParams("Pwd", "bob", "PassWord=x");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(Message(reply), msg::UserPasswordSaveFailed());
  EXPECT_EQ(test::ReadFileBytes(blocked.LibraryDir() + "CA"), "not a folder");
}

}  // namespace
}  // namespace qorv
