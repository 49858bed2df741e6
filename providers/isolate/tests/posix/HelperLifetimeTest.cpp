// On POSIX: no helper outlives its sequence, however it ended, and the host is left as
// it was: no child process, no thread, no signal disposition of its own.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "IsolationSupport.h"
#include "QorvCryptProvider.h"
#include "interface/ParamString.h"
#include "platform/DynamicLibrary.h"
#include "support/Deployment.h"

namespace qorv {
namespace {

using test::Deployment;
using test::IsolatedType;
using test::TestProviderPath;

// The processes whose parent is this one, zombies included.
int ChildProcesses() {
  int children = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return -1;
  while (dirent* entry = readdir(proc)) {
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...: comm may hold spaces, so read behind its ')'.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    long parent = 0;
    if (sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) == 2 && parent == getpid()) ++children;
  }
  closedir(proc);
  return children;
}

int Threads() {
  int threads = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return -1;
  while (dirent* entry = readdir(tasks)) threads += entry->d_name[0] != '.' ? 1 : 0;
  closedir(tasks);
  return threads;
}

void* Disposition(int signal) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  return reinterpret_cast<void*>(current.sa_handler);
}

TEST(IsolatedHelperLifetimeTest, EverySequenceEndsItsHelperAndLeavesTheHostAsItWas) {
  Deployment d;
  d.WriteConfig({IsolatedType("Iso", TestProviderPath(), {{"IsolatedTimeout", "1000"}})});
  const int threadsBefore = Threads();
  void* const chldBefore = Disposition(SIGCHLD);
  void* const pipeBefore = Disposition(SIGPIPE);
  ASSERT_EQ(ChildProcesses(), 0);

  const struct {
    const char* function;
    const char* action;
    unsigned char ok;
  } endings[] = {{"Encrypt", "1", 1},
                 {"InitCrypt", "0", 0},
                 {"Encrypt", "loop", 0},
                 {"Encrypt", "fault", 0},
                 {"FinalCrypt", "exit:3", 1}};
  for (const auto& ending : endings) {
    d.script().Reset();
    d.script().Answer(ending.function, ending.action);
    EXPECT_EQ(d.Encrypt("Iso", "u", "a", "b", "").ok, ending.ok) << ending.function << " " << ending.action;
    EXPECT_EQ(ChildProcesses(), 0) << ending.function << " " << ending.action;
  }
  EXPECT_EQ(Threads(), threadsBefore);
  EXPECT_EQ(Disposition(SIGCHLD), chldBefore);
  EXPECT_EQ(Disposition(SIGPIPE), pipeBefore);
}

// Without a time limit, the helper's end is seen even while a process the provider
// started holds the stream open.
TEST(IsolatedHelperLifetimeTest, AHelperThatDiesIsSeenWhileAProcessItStartedHoldsTheStream) {
  Deployment d;
  const std::string provider = TestProviderPath();
  d.WriteConfig({IsolatedType("Iso", provider)});
  const std::string pidFile = d.dir().File("lingering.pid");
  d.script().Answer("Encrypt", "linger:" + pidFile);
  const test::ExportReply reply = d.Encrypt("Iso", "u", "a", "b", "");
  long lingering = 0;
  std::ifstream(pidFile) >> lingering;
  ASSERT_GT(lingering, 0);
  kill(static_cast<pid_t>(lingering), SIGKILL);
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), test::IsoMessage("调用加解密组件[", provider, "]发生异常。"));
}

TEST(IsolatedHelperLifetimeTest, UnloadingTheProviderInTheMiddleOfASequenceEndsItsHelper) {
  test::TempDir dir;
  test::ProviderScript script(dir);
  script.Answer("InitCrypt", "1");
  platform::DynamicLibrary library;
  ASSERT_TRUE(library.Open(test::IsolatingProviderPath()));
  auto init = reinterpret_cast<QorvProviderInitFn>(library.Symbol("InitCrypt"));
  ASSERT_NE(init, nullptr);
  std::string buffer(QORVCRYPT_PROVIDER_BUFFER_SIZE, '\0');
  const std::string request = "IsolatedLibPath=" + TestProviderPath() + ";TestScript=" + script.path();
  buffer.replace(0, request.size(), request);
  char* text = buffer.data();
  ASSERT_EQ(init(0, &text), 1);
  EXPECT_EQ(ChildProcesses(), 1);
  // No FinalCrypt: the host unloads the provider (as a host that gives up would).
  library.Close();
  EXPECT_EQ(ChildProcesses(), 0);
}

}  // namespace
}  // namespace qorv
