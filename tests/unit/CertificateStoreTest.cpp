#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "platform/TextConversion.h"
#include "store/IniFile.h"
#include "store/RevenueCaFile.h"
#include "store/StoreNames.h"
#include "store/UserCaFile.h"
#include "support/TempDir.h"
#include "util/PasswordScramble.h"
#include "util/PathFunctions.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;

const std::string kSep(1, platform::kPathSeparator);

class CertificateStoreTest : public ::testing::Test {
 protected:
  std::string CaDir() const { return root_.path() + "CA" + kSep + "T" + kSep; }
  std::string IniFileName() const { return CaDir() + "UserCa_T.ini"; }
  std::string Raw(const std::string& section, const std::string& key) const {
    return TIniFile(IniFileName()).ReadString(section, key);
  }
  // A full user set of source files, "pwd-enc" and "pwd-sign" as key passwords.
  std::string UserParams() const {
    std::string params;
    for (const char* key : {"RootCertFile", "EncCertFile", "EncKeyFile", "SignCertFile", "SignKeyFile"}) {
      params = SetParamValue(params, key, files_.Write(std::string(key) + ".bin", std::string("content of ") + key));
    }
    params = SetParamValue(params, "EncKeyPwd", "pwd-enc");
    return SetParamValue(params, "SignKeyPwd", "pwd-sign");
  }
  // Installs a set the way the install operation does.
  bool Install(const std::string& user, const std::string& params, bool pair = true) const {
    TUserCaFile set(root_.path(), "T", user, pair);
    set.TakeFromParams(params);
    return set.FilesPresent() && set.SaveToIni();
  }

  test::TempDir root_;   // holds the CA folder, as the library's folder does
  test::TempDir files_;  // where certificate files come from
};

TEST_F(CertificateStoreTest, InstallingASetCopiesItsFilesAndRecordsTheCopies) {
  TUserCaFile set(root_.path(), "T", "alice", true);
  EXPECT_EQ(set.CaDir(), CaDir());
  EXPECT_EQ(set.IniFileName(), IniFileName());
  EXPECT_EQ(set.CertDir(), CaDir() + "alice" + kSep);
  set.TakeFromParams(UserParams());
  ASSERT_TRUE(set.FilesPresent());
  ASSERT_TRUE(set.SaveToIni());
  EXPECT_EQ(set.LastStatus(), StoreStatus::Ok);

  const std::string certDir = set.CertDir();
  const std::pair<const std::string*, const char*> fields[] = {
      {&set.FRootCertFile, "RootCertFile"}, {&set.FEncCertFile, "EncCertFile"}, {&set.FEncKeyFile, "EncKeyFile"},
      {&set.FSignCertFile, "SignCertFile"}, {&set.FSignKeyFile, "SignKeyFile"},
  };
  TUserCaFile loaded(root_.path(), "T", "alice", true);
  const std::string params = loaded.PutToParams(";Keep=1;");
  EXPECT_EQ(GetParamValue(params, "Keep"), "1");
  for (const auto& [field, key] : fields) {
    const std::string copy = certDir + key + ".bin";
    EXPECT_EQ(*field, copy) << key;
    EXPECT_EQ(test::ReadFileBytes(copy), std::string("content of ") + key);
    // Recorded relative to the host program's folder (a full path only across drives).
    const std::string stored = Raw("alice", key);
    EXPECT_EQ(stored, RelativeToHostAppDir(copy)) << key;
    if (!platform::kWindows) {
      EXPECT_NE(stored.front(), '/') << key;
    }
    EXPECT_EQ(GetParamValue(params, key), copy) << key;
  }
  EXPECT_EQ(UnscramblePassword(Raw("alice", "EncKeyPwd")), "pwd-enc");
  EXPECT_EQ(UnscramblePassword(Raw("alice", "SignKeyPwd")), "pwd-sign");
  EXPECT_EQ(GetParamValue(params, "EncKeyPwd"), "pwd-enc");
  EXPECT_EQ(GetParamValue(params, "SignKeyPwd"), "pwd-sign");
  EXPECT_TRUE(loaded.FilesPresent());
}

TEST_F(CertificateStoreTest, StoredPathsResolveAgainstTheHostFolderNotTheCurrentOne) {
  ASSERT_TRUE(Install("alice", UserParams()));
  const std::string copy = CaDir() + "alice" + kSep + "EncCertFile.bin";
  test::CurrentDirGuard guard;
  fs::current_path(files_.path());
  TUserCaFile loaded(root_.path(), "T", "alice", true);
  EXPECT_EQ(loaded.FEncCertFile, copy);
  EXPECT_TRUE(loaded.FilesPresent());

  // Paths handed in by a caller are the caller's: they resolve against the current one.
  loaded.TakeFromParams("EncCertFile=EncCertFile.bin;EncKeyFile=." + kSep + "EncKeyFile.bin");
  EXPECT_EQ(loaded.FEncCertFile, files_.File("EncCertFile.bin"));
  EXPECT_EQ(loaded.FEncKeyFile, files_.File("EncKeyFile.bin"));
  EXPECT_EQ(loaded.FRootCertFile, "");  // absent keys empty their fields
  EXPECT_EQ(loaded.FEncKeyPwd, "");
}

TEST_F(CertificateStoreTest, FilesAlreadyInPlaceAreNotCopiedAgain) {
  ASSERT_TRUE(Install("alice", UserParams()));
  TUserCaFile set(root_.path(), "T", "alice", true);
  fs::remove(IniFileName());
  // Windows compares the paths without regard to case, so a respelled path is the same file.
  std::string respelled = set.FEncCertFile;
  if (platform::kWindows) respelled.replace(respelled.size() - 4, 4, ".BIN");
  set.FEncCertFile = respelled;
  // Copying a file onto itself would fail: success shows that nothing was copied.
  ASSERT_TRUE(set.SaveToIni());
  EXPECT_EQ(set.FEncCertFile, respelled);
  EXPECT_EQ(test::ReadFileBytes(respelled), "content of EncCertFile");
  EXPECT_NE(Raw("alice", "EncCertFile"), "");
}

TEST_F(CertificateStoreTest, ACopyReplacesAReadOnlyFileAndSameNamesGetCopiesOfTheirOwn) {
  const std::string certDir = CaDir() + "alice" + kSep;
  fs::create_directories(certDir);
  { std::ofstream(certDir + "same.bin") << "old"; }
  fs::permissions(certDir + "same.bin", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  test::TempDir other;
  TUserCaFile set(root_.path(), "T", "alice", true);
  set.FEncCertFile = files_.Write("same.bin", "first");
  set.FEncKeyFile = other.Write("same.bin", "second");
  // The same file named twice is one copy.
  set.FSignCertFile = set.FEncKeyFile;
  // A file already in the folder keeps its name; the copies make way for it.
  set.FSignKeyFile = certDir + "same-2.bin";
  { std::ofstream(set.FSignKeyFile) << "in place"; }
  ASSERT_TRUE(set.SaveToIni());
  EXPECT_EQ(set.FEncCertFile, certDir + "same.bin");
  EXPECT_EQ(set.FEncKeyFile, certDir + "same-3.bin");
  EXPECT_EQ(set.FSignCertFile, certDir + "same-3.bin");
  EXPECT_EQ(set.FSignKeyFile, certDir + "same-2.bin");
  EXPECT_EQ(test::ReadFileBytes(certDir + "same.bin"), "first");
  EXPECT_EQ(test::ReadFileBytes(certDir + "same-3.bin"), "second");
  EXPECT_EQ(test::ReadFileBytes(certDir + "same-2.bin"), "in place");
  const TUserCaFile loaded(root_.path(), "T", "alice", true);
  EXPECT_EQ(loaded.FEncKeyFile, certDir + "same-3.bin");
  EXPECT_EQ(loaded.FSignKeyFile, certDir + "same-2.bin");
  // Nothing else is left in the folder: no temporary copy, no replaced file.
  EXPECT_EQ(std::distance(fs::directory_iterator(certDir), fs::directory_iterator()), 3);
}

TEST_F(CertificateStoreTest, FilesPresentLooksAtTheRequiredFilesOnly) {
  struct Case {
    bool pair;
    std::string TUserCaFile::*field;
    std::string value;  // "" empties the field, "missing" names a file that does not exist
    bool expected;
  };
  const Case cases[] = {
      {false, nullptr, "", true},
      {false, &TUserCaFile::FEncCertFile, "", false},
      {false, &TUserCaFile::FEncKeyFile, "", false},
      {false, &TUserCaFile::FEncKeyFile, "missing", false},
      {false, &TUserCaFile::FRootCertFile, "missing", true},
      {false, &TUserCaFile::FSignKeyFile, "", true},
      {false, &TUserCaFile::FEncKeyFile, "folder", false},
      {true, nullptr, "", true},
      {true, &TUserCaFile::FSignCertFile, "", false},
      {true, &TUserCaFile::FSignKeyFile, "", false},
      {true, &TUserCaFile::FSignKeyFile, "missing", false},
      {true, &TUserCaFile::FRootCertFile, "", true},
  };
  const std::string params = UserParams();
  for (const Case& c : cases) {
    TUserCaFile set(root_.path(), "T", "alice", c.pair);
    set.TakeFromParams(params);
    if (c.field != nullptr)
      set.*c.field = c.value == "" ? "" : c.value == "folder" ? files_.path() : files_.File(c.value);
    EXPECT_EQ(set.FilesPresent(), c.expected) << "pair " << c.pair << " value " << c.value;
  }
}

TEST_F(CertificateStoreTest, AnEmptyRootCertificateIsWrittenAsAnEmptyValue) {
  std::string params = SetParamValue(UserParams(), "RootCertFile", "");
  params = SetParamValue(params, "EncKeyPwd", "");
  ASSERT_TRUE(Install("alice", params, false));
  const std::string text = test::ReadFileBytes(IniFileName());
  EXPECT_NE(text.find("RootCertFile=\r\n"), std::string::npos) << text;
  // An empty password is stored scrambled, never as an empty value.
  EXPECT_EQ(Raw("alice", "EncKeyPwd").size(), 150u);
  EXPECT_EQ(TUserCaFile(root_.path(), "T", "alice", false).FEncKeyPwd, "");
}

TEST_F(CertificateStoreTest, WithoutASigningPairSigningEntriesAreLeftAlone) {
  ASSERT_TRUE(Install("alice", UserParams(), true));
  const std::string signCert = Raw("alice", "SignCertFile");
  const std::string signPwd = Raw("alice", "SignKeyPwd");
  TUserCaFile set(root_.path(), "T", "alice", false);
  EXPECT_EQ(set.FSignCertFile, "");  // not read
  set.FSignCertFile = "ignored";
  EXPECT_EQ(GetParamValue(set.PutToParams(""), "SignCertFile"), "");
  ASSERT_TRUE(set.SaveToIni());
  ASSERT_TRUE(set.SavePasswords("new", "ignored"));
  EXPECT_EQ(Raw("alice", "SignCertFile"), signCert);
  EXPECT_EQ(Raw("alice", "SignKeyPwd"), signPwd);
  EXPECT_EQ(TUserCaFile(root_.path(), "T", "alice", true).FEncKeyPwd, "new");
}

TEST_F(CertificateStoreTest, SavePasswordsStoresThePasswordsOnly) {
  TUserCaFile fresh(root_.path(), "T", "bob", true);
  fresh.TakeFromParams(UserParams());
  ASSERT_TRUE(fresh.SavePasswords("e1", "s1"));
  EXPECT_FALSE(fs::exists(fresh.CertDir()));  // nothing copied
  EXPECT_EQ(Raw("bob", "EncCertFile"), "");
  EXPECT_EQ(fresh.FEncKeyPwd, "e1");

  ASSERT_TRUE(Install("alice", UserParams()));
  const std::string before = Raw("alice", "EncKeyFile");
  TUserCaFile set(root_.path(), "T", "alice", true);
  ASSERT_TRUE(set.SavePasswords("e2", "s2"));
  TUserCaFile loaded(root_.path(), "T", "alice", true);
  EXPECT_EQ(loaded.FEncKeyPwd, "e2");
  EXPECT_EQ(loaded.FSignKeyPwd, "s2");
  EXPECT_EQ(Raw("alice", "EncKeyFile"), before);
  EXPECT_EQ(TUserCaFile(root_.path(), "T", "bob", true).FSignKeyPwd, "s1");
}

TEST_F(CertificateStoreTest, LoadingWithoutAFileLeavesTheFieldsAsTheyWere) {
  TUserCaFile set(root_.path(), "T", "alice", true);
  set.FEncCertFile = "kept";
  EXPECT_FALSE(set.LoadFromIni());
  EXPECT_EQ(set.FEncCertFile, "kept");
  TRevenueCaFile record(root_.path(), "T", "Revenue12", true);
  EXPECT_FALSE(record.LoadFromIni());
  EXPECT_FALSE(fs::exists(root_.File("CA")));
}

TEST_F(CertificateStoreTest, AServerRecordSharesTheFileInASectionOfItsOwn) {
  ASSERT_TRUE(Install("alice", UserParams()));
  TRevenueCaFile record(root_.path(), "T", "Revenue12", true);
  EXPECT_FALSE(record.FilesPresent());
  record.TakeFromParams("RevenueEncCertFile=" + files_.Write("srv-enc.cer", "e") +
                        ";EncCertFile=" + files_.File("EncCertFile.bin"));
  EXPECT_FALSE(record.FilesPresent());  // the signing certificate is missing
  record.TakeFromParams(SetParamValue(SetParamValue("", "RevenueEncCertFile", files_.File("srv-enc.cer")),
                                      "RevenueSignCertFile", files_.Write("srv-sign.cer", "s")));
  ASSERT_TRUE(record.FilesPresent());
  ASSERT_TRUE(record.SaveToIni());

  const std::string certDir = CaDir() + "Revenue12" + kSep;
  const TRevenueCaFile loaded(root_.path(), "T", "Revenue12", true);
  EXPECT_EQ(loaded.FEncCertFile, certDir + "srv-enc.cer");
  EXPECT_EQ(loaded.FSignCertFile, certDir + "srv-sign.cer");
  const std::string params = loaded.PutToParams("");
  EXPECT_EQ(GetParamValue(params, "RevenueEncCertFile"), certDir + "srv-enc.cer");
  EXPECT_EQ(GetParamValue(params, "RevenueSignCertFile"), certDir + "srv-sign.cer");
  EXPECT_EQ(GetParamValue(params, "EncCertFile"), "");
  EXPECT_EQ(Raw("Revenue12", "EncCertFile"), RelativeToHostAppDir(certDir + "srv-enc.cer"));
  EXPECT_TRUE(TUserCaFile(root_.path(), "T", "alice", true).FilesPresent());

  const TRevenueCaFile single(root_.path(), "T", "Revenue12", false);
  EXPECT_EQ(single.FSignCertFile, "");
  EXPECT_EQ(GetParamValue(single.PutToParams(""), "RevenueSignCertFile"), "");
}

TEST(StoreNamesTest, RefusesNamesThatWouldLeaveTheFolderOrBreakTheFile) {
  const std::string refused[] = {"",
                                 ".",
                                 "..",
                                 "a.",
                                 "a/b",
                                 "a\\b",
                                 "../x",
                                 "..\\x",
                                 "a]",
                                 "[a",
                                 "a\nb",
                                 "a\rb",
                                 std::string("a\0b", 3),
                                 "a\x01",
                                 "a\x1F",
                                 "a\x7F",
                                 " a",
                                 "a ",
                                 "\t"};
  for (const std::string& name : refused) EXPECT_FALSE(IsSafeStoreName(name)) << "[" << name << "]";
  const std::string accepted[] = {"alice", "Revenue12", "a.b",   "a b",
                                  ".a",    "a-b_c",     "a;b=c", platform::Utf8ToHostText("\xE5\xBC\xA0\xE4\xB8\x89")};
  for (const std::string& name : accepted) EXPECT_TRUE(IsSafeStoreName(name)) << "[" << name << "]";
  // 95 5C and 95 5D are GBK characters on Windows; elsewhere the bytes hold a real '\' and ']'.
  EXPECT_EQ(IsSafeStoreName("\x95\x5C"), platform::kWindows);
  EXPECT_EQ(IsSafeStoreName("a\x95\x5D"), platform::kWindows);
  EXPECT_FALSE(IsSafeStoreName("\x95\x5C\\"));
}

TEST(StoreNamesTest, ServerRecordsAreNamedAsTheirSectionsAndFoldersRead) {
  struct Case {
    std::string code, section;
  };
  const Case cases[] = {
      {"12", "Revenue12"},    {"", "Revenue"},
      {" 12 ", "Revenue 12"},                                     // blanks reach the name; its ends are trimmed
      {"1 2", "Revenue1 2"},  {"\n      12\n    ", "Revenue12"},  // a pretty-printed value: layout goes whole
      {"\t12", "Revenue12"},  {" \r\n 12 \t", "Revenue12"},
      {"12\n", "Revenue12"},  {"\n", "Revenue"},
  };
  for (const Case& c : cases) EXPECT_EQ(ServerRecordSection(c.code), c.section) << "[" << c.code << "]";

  for (const std::string user : {"Revenue", "Revenue12", "revenue12", "REVENUE", "rEvEnUeX", "Revenue 1", " Revenue"}) {
    EXPECT_TRUE(IsReservedUserName(user)) << user;
  }
  for (const std::string user : {"", "Reven", "Revenu", "MyRevenue", "R evenue", "alice"}) {
    EXPECT_FALSE(IsReservedUserName(user)) << user;
  }
}

TEST_F(CertificateStoreTest, AUserSetCannotTakeTheNameOfAServerRecord) {
  for (const std::string user : {"Revenue12", "revenue"}) {
    TUserCaFile set(root_.path(), "T", user, false);
    EXPECT_FALSE(set.NamesAreSafe()) << user;
    set.TakeFromParams(UserParams());
    EXPECT_FALSE(set.SaveToIni());
    EXPECT_EQ(set.LastStatus(), StoreStatus::UnsafeName);
    EXPECT_FALSE(set.SavePasswords("p", ""));
  }
  // The server records themselves have such names.
  TRevenueCaFile record(root_.path(), "T", "Revenue12", false);
  record.FEncCertFile = files_.Write("srv.cer", "s");
  EXPECT_TRUE(record.SaveToIni());
  EXPECT_EQ(record.FEncCertFile, CaDir() + "Revenue12" + kSep + "srv.cer");
}

TEST_F(CertificateStoreTest, ASectionSavedUnderAnotherSpellingKeepsItsFolder) {
  ASSERT_TRUE(Install("Alice", UserParams()));
  TUserCaFile set(root_.path(), "T", "ALICE", true);
  EXPECT_EQ(set.FSection, "Alice");
  EXPECT_EQ(set.CertDir(), CaDir() + "Alice" + kSep);
  set.TakeFromParams(UserParams());
  ASSERT_TRUE(set.SaveToIni());
  EXPECT_EQ(set.FEncCertFile, CaDir() + "Alice" + kSep + "EncCertFile.bin");

  // Saved meanwhile by another: the save takes the spelling it finds under the lock.
  TUserCaFile late(root_.path(), "T", "bob", false);
  TUserCaFile early(root_.path(), "T", "BOB", false);
  early.TakeFromParams(UserParams());
  ASSERT_TRUE(early.SaveToIni());
  late.TakeFromParams(UserParams());
  ASSERT_TRUE(late.SaveToIni());
  EXPECT_EQ(late.FEncCertFile, CaDir() + "BOB" + kSep + "EncCertFile.bin");
  if (!platform::kWindows) {
    EXPECT_FALSE(fs::exists(CaDir() + "bob"));
  }
}

TEST_F(CertificateStoreTest, ANameThatWouldNotReadBackIsRefusedBeforeAnythingIsTouched) {
  if (platform::kWindows) GTEST_SKIP() << "such paths are beyond the Windows file calls anyway";
  // A folder so deep that a stored path could not be read back whole.
  std::string deep = root_.path();
  while (deep.size() < 2100) deep += std::string(200, 'd') + kSep;
  fs::create_directories(deep);
  TUserCaFile set(deep, "T", "alice", false);
  set.TakeFromParams(UserParams());
  EXPECT_FALSE(set.SaveToIni());
  EXPECT_EQ(set.LastStatus(), StoreStatus::PathTooLong);
  EXPECT_EQ(set.LastStatusSubject(), deep + "CA" + kSep + "T" + kSep + "alice" + kSep + "RootCertFile.bin");
  EXPECT_EQ(set.FEncCertFile, files_.File("EncCertFile.bin"));
  EXPECT_TRUE(fs::is_empty(deep));

  TUserCaFile longPassword(root_.path(), "T", "alice", false);
  longPassword.TakeFromParams(SetParamValue(UserParams(), "EncKeyPwd", std::string(959, 'x')));
  EXPECT_FALSE(longPassword.SaveToIni());
  EXPECT_EQ(longPassword.LastStatus(), StoreStatus::PasswordTooLong);
  EXPECT_FALSE(longPassword.SavePasswords(std::string(959, 'x'), ""));
  EXPECT_EQ(longPassword.LastStatus(), StoreStatus::PasswordTooLong);
  EXPECT_TRUE(longPassword.SavePasswords(std::string(958, 'x'), ""));
  EXPECT_EQ(TUserCaFile(root_.path(), "T", "alice", false).FEncKeyPwd, std::string(958, 'x'));
}

TEST_F(CertificateStoreTest, AnUnsafeNameIsRefusedBeforeAnythingIsTouched) {
  const std::string params = UserParams();
  for (const std::string bad : {"..", "a/b", "a\\b", "x]", "[x", "a\nb", " a"}) {
    for (const bool asUser : {true, false}) {
      const std::string type = asUser ? "T" : bad;
      const std::string user = asUser ? bad : "alice";
      TUserCaFile set(root_.path(), type, user, true);
      EXPECT_FALSE(set.NamesAreSafe());
      EXPECT_FALSE(set.LoadFromIni());
      set.TakeFromParams(params);
      EXPECT_FALSE(set.SaveToIni()) << bad;
      EXPECT_EQ(set.LastStatus(), StoreStatus::UnsafeName);
      EXPECT_EQ(set.FEncCertFile, files_.File("EncCertFile.bin"));  // not imported
      EXPECT_FALSE(set.SavePasswords("p", "q"));
      EXPECT_EQ(set.LastStatus(), StoreStatus::UnsafeName);
      TRevenueCaFile record(root_.path(), type, user, false);
      record.FEncCertFile = files_.File("EncCertFile.bin");
      EXPECT_FALSE(record.SaveToIni());
      EXPECT_EQ(record.LastStatus(), StoreStatus::UnsafeName);
    }
  }
  EXPECT_TRUE(fs::is_empty(root_.path()));
  EXPECT_EQ(std::distance(fs::directory_iterator(files_.path()), fs::directory_iterator()), 5);
}

TEST_F(CertificateStoreTest, ANonAsciiUserGetsAFolderAndSectionOfItsOwn) {
  const std::string user = platform::Utf8ToHostText("\xE5\xBC\xA0\xE4\xB8\x89");
  ASSERT_TRUE(Install(user, UserParams()));
  const TUserCaFile loaded(root_.path(), "T", user, true);
  EXPECT_EQ(loaded.FEncCertFile, CaDir() + user + kSep + "EncCertFile.bin");
  EXPECT_TRUE(loaded.FilesPresent());
}

TEST_F(CertificateStoreTest, ASaveThatCannotCompleteFailsAndKeepsTheOldFile) {
  ASSERT_TRUE(Install("alice", UserParams()));
  const std::string before = test::ReadFileBytes(IniFileName());
  const std::string params = UserParams();

  // A named file that does not exist.
  TUserCaFile missing(root_.path(), "T", "bob", false);
  missing.TakeFromParams(SetParamValue(params, "EncKeyFile", files_.File("nothing.key")));
  EXPECT_FALSE(missing.SaveToIni());
  EXPECT_EQ(missing.LastStatus(), StoreStatus::FileMissing);

  // A file standing where the set's folder must be.
  std::ofstream(CaDir() + "carol") << "in the way";
  TUserCaFile blocked(root_.path(), "T", "carol", false);
  blocked.TakeFromParams(params);
  EXPECT_FALSE(blocked.SaveToIni());
  EXPECT_EQ(blocked.LastStatus(), StoreStatus::CopyFailed);
  EXPECT_EQ(test::ReadFileBytes(IniFileName()), before);

  // The certificate set file cannot be saved (its lock file's place is taken): no copy
  // is made, the fields and the file do not change.
  const std::string lockFile = TIniFile(IniFileName()).LockFileName();
  fs::remove(lockFile);
  fs::create_directory(lockFile);
  TUserCaFile dave(root_.path(), "T", "dave", false);
  dave.TakeFromParams(params);
  EXPECT_FALSE(dave.SaveToIni());
  EXPECT_EQ(dave.LastStatus(), StoreStatus::WriteFailed);
  EXPECT_EQ(dave.FEncCertFile, files_.File("EncCertFile.bin"));
  EXPECT_FALSE(fs::exists(CaDir() + "dave"));
  EXPECT_FALSE(dave.SavePasswords("p", "q"));
  EXPECT_EQ(dave.LastStatus(), StoreStatus::WriteFailed);
  TRevenueCaFile record(root_.path(), "T", "Revenue1", false);
  record.FEncCertFile = files_.File("EncCertFile.bin");
  EXPECT_FALSE(record.SaveToIni());
  EXPECT_EQ(record.LastStatus(), StoreStatus::WriteFailed);
  EXPECT_EQ(test::ReadFileBytes(IniFileName()), before);
  fs::remove(lockFile);

  if (test::ReadOnlyModesHonoured(files_)) {
    fs::permissions(IniFileName(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(dave.SaveToIni());
    EXPECT_EQ(dave.LastStatus(), StoreStatus::WriteFailed);
    EXPECT_FALSE(TUserCaFile(root_.path(), "T", "alice", true).SavePasswords("p", "q"));
    EXPECT_EQ(test::ReadFileBytes(IniFileName()), before);
    fs::permissions(IniFileName(), fs::perms::owner_write, fs::perm_options::add);
  }
  ASSERT_TRUE(dave.SaveToIni());
  EXPECT_EQ(dave.LastStatus(), StoreStatus::Ok);
}

TEST_F(CertificateStoreTest, NothingCanBeSavedWhereAFileStandsForTheCryptoTypeFolder) {
  fs::create_directories(root_.File("CA"));
  std::ofstream(root_.path() + "CA" + kSep + "T") << "in the way";
  TUserCaFile set(root_.path(), "T", "alice", false);
  EXPECT_FALSE(set.SavePasswords("p", ""));
  EXPECT_EQ(set.LastStatus(), StoreStatus::WriteFailed);
  set.TakeFromParams(UserParams());
  EXPECT_FALSE(set.SaveToIni());
  EXPECT_EQ(test::ReadFileBytes(root_.path() + "CA" + kSep + "T"), "in the way");
}

}  // namespace
}  // namespace qorv
