// POSIX specifics of the fault guard: signals and C++ exceptions, and the host's own
// handlers outside guarded calls.
#include <signal.h>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "platform/FaultGuard.h"

namespace qorv::platform {
namespace {

void Throw(void*) { throw std::runtime_error("provider failure"); }

void Raise(void* signal) { raise(*static_cast<int*>(signal)); }

volatile sig_atomic_t g_hostHandlerCalls = 0;
void HostHandler(int) { g_hostHandlerCalls = g_hostHandlerCalls + 1; }

TEST(FaultGuardPosixTest, CatchesCppExceptionsAndEachFaultSignal) {
  EXPECT_FALSE(CallGuarded(Throw, nullptr));
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
    EXPECT_FALSE(CallGuarded(Raise, &signal)) << signal;
    // The signal is not left blocked: the next one is caught as well.
    EXPECT_FALSE(CallGuarded(Raise, &signal)) << signal;
  }
}

// With and without a scope held around the calls, as a provider sequence holds one.
TEST(FaultGuardPosixTest, TheHostsHandlerStillGetsFaultsOutsideGuardedCalls) {
  for (const bool scoped : {false, true}) {
    SCOPED_TRACE(scoped ? "inside a scope" : "no scope");
    struct sigaction host {};
    struct sigaction saved {};
    host.sa_handler = HostHandler;
    sigemptyset(&host.sa_mask);
    ASSERT_EQ(sigaction(SIGFPE, &host, &saved), 0);
    g_hostHandlerCalls = 0;
    {
      std::optional<FaultGuardScope> scope;
      if (scoped) scope.emplace();
      int signal = SIGFPE;
      EXPECT_FALSE(CallGuarded(Raise, &signal));
      EXPECT_FALSE(CallGuarded(Raise, &signal));
      EXPECT_EQ(g_hostHandlerCalls, 0);
      // Between guarded calls, with the scope's handlers still installed.
      raise(SIGFPE);
      EXPECT_EQ(g_hostHandlerCalls, 1);
    }
    // The last one out puts the host's handler back.
    struct sigaction current {};
    sigaction(SIGFPE, nullptr, &current);
    EXPECT_EQ(current.sa_handler, HostHandler);
    sigaction(SIGFPE, &saved, nullptr);
  }
}

}  // namespace
}  // namespace qorv::platform
