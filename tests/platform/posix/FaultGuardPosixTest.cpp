// POSIX specifics of the fault guard: signals and C++ exceptions, and the host's own
// handlers outside guarded calls.
#include <signal.h>

#include <gtest/gtest.h>

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

TEST(FaultGuardPosixTest, TheHostsHandlerStillGetsFaultsOutsideGuardedCalls) {
  struct sigaction host {};
  struct sigaction saved {};
  host.sa_handler = HostHandler;
  sigemptyset(&host.sa_mask);
  ASSERT_EQ(sigaction(SIGFPE, &host, &saved), 0);

  int signal = SIGFPE;
  EXPECT_FALSE(CallGuarded(Raise, &signal));
  EXPECT_EQ(g_hostHandlerCalls, 0);
  raise(SIGFPE);
  EXPECT_EQ(g_hostHandlerCalls, 1);

  struct sigaction current {};
  sigaction(SIGFPE, nullptr, &current);
  EXPECT_EQ(current.sa_handler, HostHandler);
  sigaction(SIGFPE, &saved, nullptr);
}

}  // namespace
}  // namespace qorv::platform
