// Changes of one crypto type's store from threads and processes at once, through the
// built library: every change that reports success has its whole effect, the store
// holds one consistent set per user whatever the interleaving (the recorded password
// opens the recorded key, the recorded files were installed together), and readers
// never see a set half installed.
//
// The test provider plays a real one with key files that say whose they are: a key
// holds "<set>|<password>", its certificates "<set>"; its password change rewrites the
// key and its validation checks that the files it is given belong together. With the
// reference provider (Linux) the keys are real and ValidateCert opens them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/ProcessInfo.h"
#include "support/Deployment.h"
#include "support/FolderSnapshot.h"
#include "support/TestProvider.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;
using test::Deployment;
using test::ExportReply;

const std::string kSep(1, platform::kPathSeparator);

constexpr int kWorkers = 3;  // the test process and two children
constexpr int kSets = 3;
// Enough to mix the changes many times over; a wine process is slow to start and to copy.
const int kRounds = platform::kWindows ? 12 : 40;
const int kReferenceRounds = 4;  // each password change opens and seals a key: slow on purpose

constexpr const char* kLibraryVariable = "QORV_RACE_LIBRARY_DIR";
constexpr const char* kConfigVariable = "QORV_RACE_CONFIG";
constexpr const char* kSourcesVariable = "QORV_RACE_SOURCES";
constexpr const char* kWorkerVariable = "QORV_RACE_WORKER";
constexpr const char* kProviderVariable = "QORV_RACE_PROVIDER";

std::string SetFolder(const std::string& sources, int set) { return sources + "set" + std::to_string(set) + kSep; }

// The request that installs one of the sets (the reference provider's reply is one).
std::string SetRequest(const std::string& sources, int set) {
  const std::string folder = SetFolder(sources, set);
  return test::ReadFileBytes(folder + "request.txt");
}

// Counts what went wrong on one thread, with the first message.
struct Failures {
  int count = 0;
  std::string first;
  void Check(const ExportReply& reply, const std::string& call) {
    if (reply.ok == 1) return;
    if (count++ == 0) first = call + ": " + GetParamValue(reply.params, "ResultMsgStr");
  }
};

std::string OwnUser(int worker) { return "w" + std::to_string(worker); }
std::string OwnPassword(int worker, int round) { return OwnUser(worker) + "r" + std::to_string(round); }

// One worker's share, on two threads: one changes key passwords and validates (all the
// provider calls, which the test provider serves one at a time), the other installs
// sets and server records and saves passwords.
void Race(Deployment& d, const std::string& sources, int worker, bool reference) {
  Failures keys;
  Failures installs;
  const int rounds = reference ? kReferenceRounds : kRounds;
  std::thread keyThread([&] {
    for (int round = 0; round < rounds; ++round) {
      const std::string password = "k" + std::to_string(worker) + "x" + std::to_string(round);
      keys.Check(d.ChangeCAPassword("Race", "alice", "NewEncKeyPwd=" + password), "ChangeCAPassword");
      keys.Check(d.ValidateCert("Race", "alice", ""), "ValidateCert");
    }
  });
  for (int round = 0; round < rounds; ++round) {
    const int set = (worker + round) % kSets;
    installs.Check(d.SetCaFile("Race", "alice", SetRequest(sources, set)), "SetCaFile");
    installs.Check(d.SetCaFile("Race", OwnUser(worker), SetRequest(sources, round % kSets)), "SetCaFile own");
    if (!reference) {
      installs.Check(d.SetRevenueCAFile("Race", "RevenueEncCertFile=" + SetFolder(sources, set) + "server.cer"),
                     "SetRevenueCAFile");
      installs.Check(d.SetCryptParams("RacePwd", OwnUser(worker), "PassWord=" + OwnPassword(worker, round)),
                     "SetCryptParams");
      installs.Check(d.GetCryptInfo("Race", "alice", ""), "GetCryptInfo");
    }
  }
  keyThread.join();
  EXPECT_EQ(keys.count, 0) << "worker " << worker << ", first: " << keys.first;
  EXPECT_EQ(installs.count, 0) << "worker " << worker << ", first: " << installs.first;
}

// Which set the stored files of user belong to, or -1 when they do not belong together.
int StoredSet(Deployment& d, const std::string& user, const std::string& sources) {
  const std::string info = d.GetCryptInfo("Race", user, "").params;
  const std::string cert = test::ReadFileBytes(GetParamValue(info, "EncCertFile"));
  const std::string root = test::ReadFileBytes(GetParamValue(info, "RootCertFile"));
  for (int set = 0; set < kSets; ++set) {
    if (cert == test::ReadFileBytes(SetFolder(sources, set) + "enc.cer") &&
        root == test::ReadFileBytes(SetFolder(sources, set) + "root.cer")) {
      return set;
    }
  }
  return -1;
}

// A child of the race: one worker's share, in the deployment the parent made.
TEST(ConcurrentStoreChild, RacesItsShare) {
  const char* library = std::getenv(kLibraryVariable);
  const char* config = std::getenv(kConfigVariable);
  const char* sources = std::getenv(kSourcesVariable);
  const char* worker = std::getenv(kWorkerVariable);
  const char* provider = std::getenv(kProviderVariable);
  if (library == nullptr || config == nullptr || sources == nullptr || worker == nullptr || provider == nullptr) {
    GTEST_SKIP() << "runs as a child of the ConcurrentStoreTest races";
  }
  Deployment d(library, config);
  Race(d, sources, std::atoi(worker), std::string(provider) == "reference");
}

class ConcurrentStoreTest : public ::testing::Test {
 protected:
  std::string Sources() const { return d_.dir().File("sets") + kSep; }

  // Runs the race in this process and kWorkers - 1 children, all on one deployment.
  void RaceEverywhere(bool reference) {
    std::vector<std::unique_ptr<platform::ChildProcess>> children;
    for (int worker = 1; worker < kWorkers; ++worker) {
      children.push_back(std::make_unique<platform::ChildProcess>());
      ASSERT_TRUE(children.back()->Start(
          platform::ExecutablePath(), {"--gtest_filter=ConcurrentStoreChild.RacesItsShare", "--gtest_brief=1"},
          {std::string(kLibraryVariable) + "=" + d_.LibraryDir(), std::string(kConfigVariable) + "=" + d_.configPath(),
           std::string(kSourcesVariable) + "=" + Sources(), std::string(kWorkerVariable) + "=" + std::to_string(worker),
           std::string(kProviderVariable) + "=" + (reference ? "reference" : "test")}));
    }
    Race(d_, Sources(), 0, reference);
    for (auto& child : children) EXPECT_EQ(child->Wait(), 0);
  }

  // Nothing is left of the copies in the set's folder but the set's own files.
  void ExpectNoTemporaryFiles(const std::string& user) {
    for (const auto& [name, content] : test::SnapshotOf(d_.LibraryDir() + "CA" + kSep + "Race" + kSep + user)) {
      EXPECT_EQ(name.find("qcm-"), std::string::npos) << name;
    }
  }

  Deployment d_;
};

TEST_F(ConcurrentStoreTest, ThreadsAndProcessesChangingOneStoreLoseNothing) {
  d_.WriteConfig(
      {{"Race", "", "1", "race", "1", "0", "", {{"RevenueCode", "12"}}}, {"RacePwd", "", "2", "race", "", "", "", {}}});
  d_.script().Answer("ChangeCAPassword", "rekey");
  d_.script().Answer("ValidateCert", "checkset");
  // Sets whose files have the same names in different folders.
  for (int set = 0; set < kSets; ++set) {
    const std::string tag = "set" + std::to_string(set);
    const std::string folder = "sets" + kSep + tag;
    fs::create_directories(fs::path(d_.dir().File(folder)));
    std::string request;
    request = SetParamValue(request, "RootCertFile", d_.dir().Write(folder + kSep + "root.cer", tag));
    request = SetParamValue(request, "EncCertFile", d_.dir().Write(folder + kSep + "enc.cer", tag));
    request = SetParamValue(request, "EncKeyFile", d_.dir().Write(folder + kSep + "enc.key", tag + "|pwd" + tag));
    request = SetParamValue(request, "EncKeyPwd", "pwd" + tag);
    d_.dir().Write(folder + kSep + "server.cer", "server of " + tag);
    d_.dir().Write(folder + kSep + "request.txt", request);
  }
  ASSERT_EQ(d_.SetCaFile("Race", "alice", SetRequest(Sources(), 0)).ok, 1);

  RaceEverywhere(false);

  // Each user's set belongs together and its recorded password opens its key.
  EXPECT_EQ(d_.ValidateCert("Race", "alice", "").ok, 1);
  const std::string info = d_.GetCryptInfo("Race", "alice", "").params;
  const int set = StoredSet(d_, "alice", Sources());
  ASSERT_GE(set, 0) << info;
  EXPECT_EQ(test::ReadFileBytes(GetParamValue(info, "EncKeyFile")),
            "set" + std::to_string(set) + "|" + GetParamValue(info, "EncKeyPwd"));
  // The last change of each worker's own records is the one that stands.
  for (int worker = 0; worker < kWorkers; ++worker) {
    EXPECT_EQ(StoredSet(d_, OwnUser(worker), Sources()), (kRounds - 1) % kSets) << worker;
    EXPECT_EQ(GetParamValue(d_.GetCryptInfo("RacePwd", OwnUser(worker), "").params, "PassWord"),
              OwnPassword(worker, kRounds - 1));
  }
  const std::string server = test::ReadFileBytes(GetParamValue(info, "RevenueEncCertFile"));
  EXPECT_EQ(server.rfind("server of set", 0), 0u) << server;
  ExpectNoTemporaryFiles("alice");
  ExpectNoTemporaryFiles("Revenue12");
}

TEST_F(ConcurrentStoreTest, RealKeysStayOpenableWhateverTheInterleaving) {
  const std::string provider = test::TestProviderPath("QorvReferenceProvider");
  if (platform::kWindows || !fs::exists(fs::path(provider))) GTEST_SKIP() << "the reference provider is Linux only";
  std::vector<test::CryptEntry> entries = {{"Race", provider, "1", "race", "1", "0", "", {}}};
  for (int set = 0; set < kSets; ++set) {
    const std::string folder = d_.dir().File("sets") + kSep + "set" + std::to_string(set);
    fs::create_directories(fs::path(folder));
    entries.push_back({"Make" + std::to_string(set),
                       provider,
                       "1",
                       "make",
                       "1",
                       "0",
                       "",
                       {{"KeyAlg", "EC"}, {"CertOutDir", folder}}});
  }
  d_.WriteConfig(entries);
  // Sets whose files have the same names in different folders, each with its own root.
  for (int set = 0; set < kSets; ++set) {
    const ExportReply made =
        d_.CreateCAFile("Make" + std::to_string(set), "x", "EncKeyPwd=first" + std::to_string(set));
    ASSERT_EQ(made.ok, 1) << made.params;
    const std::string folder = SetFolder(Sources(), set);
    fs::copy_file(fs::path(GetParamValue(made.params, "EncCertFile")), fs::path(folder + "enc.cer"));
    fs::copy_file(fs::path(GetParamValue(made.params, "RootCertFile")), fs::path(folder + "root.cer"));
    d_.dir().Write("sets" + kSep + "set" + std::to_string(set) + kSep + "request.txt", made.params);
  }
  ASSERT_EQ(d_.SetCaFile("Race", "alice", SetRequest(Sources(), 0)).ok, 1);

  RaceEverywhere(true);

  const ExportReply validated = d_.ValidateCert("Race", "alice", "");
  EXPECT_EQ(validated.ok, 1) << validated.params;
  EXPECT_GE(StoredSet(d_, "alice", Sources()), 0);
  for (int worker = 0; worker < kWorkers; ++worker) {
    EXPECT_EQ(StoredSet(d_, OwnUser(worker), Sources()), (kReferenceRounds - 1) % kSets) << worker;
    EXPECT_EQ(d_.ValidateCert("Race", OwnUser(worker), "").ok, 1) << worker;
  }
  ExpectNoTemporaryFiles("alice");
}

}  // namespace
}  // namespace qorv
