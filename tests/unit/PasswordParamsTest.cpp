#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/ProcessInfo.h"
#include "platform/TextConversion.h"
#include "store/IniFile.h"
#include "store/PasswordParams.h"
#include "store/UserCaFile.h"
#include "support/TempDir.h"
#include "util/PasswordScramble.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;

const std::string kSep(1, platform::kPathSeparator);

class PasswordParamsTest : public ::testing::Test {
 protected:
  std::string IniFileName() const { return root_.path() + "CA" + kSep + "T" + kSep + "UserCa_T.ini"; }
  std::string Raw(const std::string& key, const std::string& user = "alice") const {
    return TIniFile(IniFileName()).ReadString(user, key);
  }
  // Saves the way the SetCryptParams operation does.
  bool Save(const std::string& params, const std::string& user = "alice") const {
    TPasswordParams password(root_.path(), "T", user);
    password.TakeFromParams(params);
    return password.SaveToIni();
  }
  std::string Stored(const std::string& user = "alice") const {
    return TPasswordParams(root_.path(), "T", user).FPassword;
  }

  test::TempDir root_;  // holds the CA folder, as the library's folder does
};

TEST_F(PasswordParamsTest, SavingCreatesTheFoldersAndReadsBack) {
  TPasswordParams password(root_.path(), "T", "alice");
  EXPECT_EQ(password.CaDir(), root_.path() + "CA" + kSep + "T" + kSep);
  EXPECT_EQ(password.IniFileName(), IniFileName());
  EXPECT_FALSE(password.LoadFromIni());
  ASSERT_TRUE(Save(";User=alice;PassWord=secret;"));
  EXPECT_TRUE(fs::is_directory(password.CaDir()));
  EXPECT_EQ(Stored(), "secret");
  EXPECT_EQ(UnscramblePassword(Raw("PassWord")), "secret");
  EXPECT_EQ(Stored("bob"), "");

  const std::string params = TPasswordParams(root_.path(), "T", "alice").PutToParams(";Keep=1;PassWord=old;");
  EXPECT_EQ(GetParamValue(params, "PassWord"), "secret");
  EXPECT_EQ(GetParamValue(params, "Keep"), "1");
}

TEST_F(PasswordParamsTest, AMissingPasswordIsStoredScrambledAndReadsBackEmpty) {
  ASSERT_TRUE(Save(";User=alice;"));
  EXPECT_EQ(Raw("PassWord").size(), 150u);
  EXPECT_EQ(Stored(), "");
}

TEST_F(PasswordParamsTest, EveryPasswordReadsBackUnchanged) {
  const std::string passwords[] = {
      "a",
      "0123456789",
      "0123456789A",
      "a much longer password than ten characters",
      "tail~@#$%marker~@#$%",
      platform::Utf8ToHostText("\xE5\xAF\x86\xE7\xA0\x81\xE5\xAF\x86\xE7\xA0\x81\xE5\xAF\x86\xE7\xA0\x81"),
      "123456789\xB2\xE2",  // a double-byte character split between the tenth and eleventh byte
      "a=b;c",
  };
  for (const std::string& plain : passwords) {
    ASSERT_TRUE(Save(SetParamValue("", "PassWord", plain)));
    EXPECT_EQ(Stored(), plain);
  }
}

TEST_F(PasswordParamsTest, SavingTwiceStoresDifferentTextsForOnePassword) {
  ASSERT_TRUE(Save("PassWord=same"));
  const std::string first = Raw("PassWord");
  ASSERT_TRUE(Save("PassWord=same"));
  EXPECT_NE(Raw("PassWord"), first);
  EXPECT_EQ(UnscramblePassword(first), "same");
  EXPECT_EQ(Stored(), "same");
}

TEST_F(PasswordParamsTest, TheUsersCertificateKeysStayAsTheyWere) {
  TUserCaFile set(root_.path(), "T", "alice", true);
  ASSERT_TRUE(set.SavePasswords("enc", "sign"));
  const std::string enc = Raw("EncKeyPwd");
  ASSERT_TRUE(Save("PassWord=pw"));
  EXPECT_EQ(Raw("EncKeyPwd"), enc);
  EXPECT_EQ(TUserCaFile(root_.path(), "T", "alice", true).FSignKeyPwd, "sign");
  EXPECT_EQ(Stored(), "pw");
}

TEST_F(PasswordParamsTest, AnUnsafeNameCreatesNothing) {
  for (const std::string bad : {"..", "a/b", "a\\b", "x]", "[x", "a\tb", ""}) {
    for (const bool asUser : {true, false}) {
      TPasswordParams password(root_.path(), asUser ? "T" : bad, asUser ? bad : "alice");
      EXPECT_FALSE(password.NamesAreSafe());
      password.FPassword = "p";
      EXPECT_FALSE(password.SaveToIni()) << bad;
      EXPECT_EQ(password.LastStatus(), StoreStatus::UnsafeName);
      EXPECT_FALSE(password.LoadFromIni());
    }
  }
  EXPECT_TRUE(fs::is_empty(root_.path()));
}

TEST_F(PasswordParamsTest, ARefusedSaveFailsAndKeepsTheOldFile) {
  ASSERT_TRUE(Save("PassWord=old"));
  const std::string before = test::ReadFileBytes(IniFileName());
  const std::string lockFile = TIniFile(IniFileName()).LockFileName();
  fs::remove(lockFile);
  fs::create_directory(lockFile);  // the save cannot take its lock
  TPasswordParams password(root_.path(), "T", "alice");
  password.FPassword = "new";
  EXPECT_FALSE(password.SaveToIni());
  EXPECT_EQ(password.LastStatus(), StoreStatus::WriteFailed);
  EXPECT_EQ(test::ReadFileBytes(IniFileName()), before);
  EXPECT_EQ(Stored(), "old");

  // A file standing where the crypto type's folder must be.
  std::ofstream(root_.path() + "CA" + kSep + "U") << "in the way";
  TPasswordParams other(root_.path(), "U", "alice");
  EXPECT_FALSE(other.SaveToIni());
  EXPECT_EQ(other.LastStatus(), StoreStatus::WriteFailed);
}

constexpr int kWorkers = 4;  // the test process and three children
constexpr int kThreads = 2;
constexpr int kUsers = 4;
constexpr int kRounds = 3;

std::string UserName(int worker, int thread, int user) {
  return "w" + std::to_string(worker) + "t" + std::to_string(thread) + "u" + std::to_string(user);
}

std::string Password(const std::string& user, int round) { return user + "#" + std::to_string(round); }

// One worker's share: its threads save their own users, each several times.
void SaveWorkersUsers(const std::string& root, int worker) {
  std::vector<std::thread> threads;
  std::unique_ptr<int[]> failures(new int[kThreads]());
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        for (int u = 0; u < kUsers; ++u) {
          TPasswordParams password(root, "T", UserName(worker, t, u));
          password.FPassword = Password(password.FSection, round);
          if (!password.SaveToIni()) ++failures[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "worker " << worker << " thread " << t;
}

constexpr const char* kRootVariable = "QORV_STORE_ROOT";
constexpr const char* kWorkerVariable = "QORV_STORE_WORKER";

// A child of the concurrency test: one worker's share.
TEST(PasswordStoreChild, SavesItsUsers) {
  const char* root = std::getenv(kRootVariable);
  const char* worker = std::getenv(kWorkerVariable);
  if (root == nullptr || worker == nullptr)
    GTEST_SKIP() << "runs as a child of PasswordParamsTest.ProcessesAndThreadsSavingAtOnceLoseNothing";
  SaveWorkersUsers(root, std::atoi(worker));
}

TEST_F(PasswordParamsTest, ProcessesAndThreadsSavingAtOnceLoseNothing) {
  std::vector<std::unique_ptr<platform::ChildProcess>> children;
  for (int worker = 1; worker < kWorkers; ++worker) {
    children.push_back(std::make_unique<platform::ChildProcess>());
    ASSERT_TRUE(children.back()->Start(platform::ExecutablePath(),
                                       {"--gtest_filter=PasswordStoreChild.SavesItsUsers", "--gtest_brief=1"},
                                       {std::string(kRootVariable) + "=" + root_.path(),
                                        std::string(kWorkerVariable) + "=" + std::to_string(worker)}));
  }
  SaveWorkersUsers(root_.path(), 0);
  for (auto& child : children) EXPECT_EQ(child->Wait(), 0);

  for (int worker = 0; worker < kWorkers; ++worker) {
    for (int t = 0; t < kThreads; ++t) {
      for (int u = 0; u < kUsers; ++u) {
        const std::string user = UserName(worker, t, u);
        EXPECT_EQ(Stored(user), Password(user, kRounds - 1));
      }
    }
  }
}

}  // namespace
}  // namespace qorv
