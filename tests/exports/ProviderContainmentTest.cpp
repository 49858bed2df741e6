// What a misbehaving provider can no longer do to its host, through the built library:
// end it with a stack overflow, leave handlers into its unloaded code behind, drop the
// host's own handlers, move the current directory, or be handed another call's window.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "support/Deployment.h"
#include "util/Messages.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;
using test::Deployment;
using test::ExportReply;
using test::TestProviderPath;

void WaitForFile(const std::string& path) {
  for (int round = 0; round < 3000 && !fs::exists(fs::path(path)); ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

volatile std::sig_atomic_t g_hostSignals = 0;
extern "C" void CountHostSignal(int) { g_hostSignals = g_hostSignals + 1; }
extern "C" void OtherHostHandler(int) {}

// The handler in place for the signal, left as it was.
using SignalHandler = void (*)(int);
SignalHandler CurrentHandler(int signal) {
  const SignalHandler current = std::signal(signal, SIG_DFL);
  std::signal(signal, current);
  return current;
}

// Whole sequences, each with an overflow: the second one finds a guard in place again.
// On a thread of its own, which tells whether it got through: wine ends a thread whose
// overflow finds no room, and lets the process end with status 0 when that thread was
// the main one.
TEST(ProviderFaultContainmentTest, AStackOverflowInAProviderIsReportedEveryTime) {
  Deployment d;
  d.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}}});
  d.script().Answer("Encrypt", "overflow");
  d.script().Answer("InitCrypt", "1");
  bool done = false;
  std::thread([&] {
    for (int round = 0; round < 3; ++round) {
      const ExportReply reply = d.Encrypt("Plain", "u", "a", "b", ";Keep=1;");
      EXPECT_EQ(reply.ok, 0) << round;
      EXPECT_EQ(reply.params, ";Keep=1;;ResultMsgStr=" + EscapeParamText(msg::ProviderRaised("Encrypt"))) << round;
    }
    done = d.Decrypt("Plain", "u", "a", "b", "").ok == 1;
  }).join();
  EXPECT_TRUE(done);
  EXPECT_EQ(d.script().CallOrder(),
            "InitCrypt Encrypt FinalCrypt InitCrypt Encrypt FinalCrypt InitCrypt Encrypt FinalCrypt InitCrypt Decrypt "
            "FinalCrypt");
  // And on the main thread, where that cannot hide a failure.
  if (!platform::kWindows) {
    EXPECT_EQ(d.Encrypt("Plain", "u", "a", "b", "").ok, 0);
  }
}

TEST(ProviderContainmentTest, HandlersAProviderLeavesBehindAreRemovedAndTheHostsComeBack) {
  Deployment d;
  d.WriteConfig({{"Handlers", TestProviderPath("qorv_handler_provider"), "0", "h", "", "", "", {}}});
  const SignalHandler termBefore = std::signal(SIGTERM, CountHostSignal);
  const SignalHandler intBefore = std::signal(SIGINT, OtherHostHandler);

  // The provider installs SIGTERM (and on POSIX SIGINT) handlers of its own at InitCrypt.
  EXPECT_EQ(d.Encrypt("Handlers", "u", "a", "b", "").ok, 1);
  EXPECT_EQ(CurrentHandler(SIGINT), OtherHostHandler);
  const SignalHandler term = CurrentHandler(SIGTERM);
  EXPECT_EQ(term, CountHostSignal);
  if (term == CountHostSignal) {
    g_hostSignals = 0;
    std::raise(SIGTERM);
    EXPECT_EQ(g_hostSignals, 1);
  }
  std::signal(SIGTERM, termBefore);
  std::signal(SIGINT, intBefore);
}

// While a provider call runs, the host installs handlers on another thread: for a
// signal the library does not touch, and on POSIX for one it watches during provider
// calls (Windows C runtimes keep that one per thread).
TEST(ProviderContainmentTest, HandlersTheHostInstallsDuringAProviderCallStay) {
  Deployment d;
  d.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}}});
  const std::string go = d.dir().File("go");
  d.script().Answer("Encrypt", "wait:" + go);
  std::vector<int> signals = {SIGTERM};
  if (!platform::kWindows) signals.push_back(SIGSEGV);
  std::vector<SignalHandler> before;
  for (int signal : signals) before.push_back(CurrentHandler(signal));

  std::thread host([&] {
    WaitForFile(d.script().path() + ".log");  // the provider has been called
    for (int signal : signals) std::signal(signal, OtherHostHandler);
    std::ofstream(go) << "go";
  });
  EXPECT_EQ(d.Encrypt("Plain", "u", "a", "b", "").ok, 1);
  host.join();
  for (size_t i = 0; i < signals.size(); ++i) {
    EXPECT_EQ(CurrentHandler(signals[i]), OtherHostHandler) << signals[i];
    std::signal(signals[i], before[i]);
  }
}

TEST(ProviderContainmentTest, TheCurrentDirectoryComesBackAfterTheProvidersSequence) {
  Deployment d;
  d.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}}});
  const test::TempDir elsewhere;
  d.script().Answer("Encrypt", "chdir:" + elsewhere.path());
  d.script().Answer("FinalCrypt", "chdir:" + elsewhere.path());
  const test::CurrentDirGuard guard;
  fs::current_path(fs::path(d.dir().path()));
  const fs::path before = fs::current_path();

  EXPECT_EQ(d.Encrypt("Plain", "u", "a", "b", "").ok, 1);
  EXPECT_EQ(fs::current_path(), before);
  // A relative configuration path still finds the file.
  std::vector<char> buffer(4096, '\0');
  char* params = buffer.data();
  EXPECT_EQ(d.decrypt(0, "crypt.xml", "Plain", "u", "a", "b", &params), 1) << params;
}

// Deterministic: the first call waits inside the loading of its provider, between
// setting the process-wide handle and calling InitCrypt, while another call sets it.
TEST(ProviderContainmentTest, InitCryptGetsTheWindowHandleOfItsOwnCall) {
  Deployment d;
  d.WriteConfig({{"Gated", TestProviderPath("qorv_test_provider_load_gate"), "0", "g", "", "", "", {}}});
  const test::CurrentDirGuard guard;
  fs::current_path(fs::path(d.dir().path()));

  std::thread first([&] { EXPECT_EQ(d.Encrypt("Gated", "u", "a", "b", "", 0x1111).ok, 1); });
  WaitForFile(d.dir().File("load-gate.waiting"));
  // A call from another thread meanwhile, with a handle of its own.
  EXPECT_EQ(d.encrypt(0x2222, d.configPath().c_str(), "Gated", "u", "a", "b", nullptr), 0);
  std::ofstream(d.dir().File("load-gate.open")) << "go";
  first.join();

  const auto calls = d.script().Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front().function, "InitCrypt");
  EXPECT_EQ(calls.front().handle, 0x1111u);
}

}  // namespace
}  // namespace qorv
