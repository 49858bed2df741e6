// POSIX specifics of the fault guard: signals and C++ exceptions, and the host's own
// handlers outside guarded calls.
#include <signal.h>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "QorvCryptProvider.h"
#include "platform/DynamicLibrary.h"
#include "platform/FaultGuard.h"
#include "platform/posix/LibraryImports.h"
#include "support/TestProvider.h"

namespace qorv::platform {
namespace {

void Throw(void*) { throw std::runtime_error("provider failure"); }

void Raise(void* signal) { raise(*static_cast<int*>(signal)); }

volatile sig_atomic_t g_hostHandlerCalls = 0;
void HostHandler(int) { g_hostHandlerCalls = g_hostHandlerCalls + 1; }
void OtherHostHandler(int) {}

struct sigaction HandlerAction(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  return action;
}

void (*CurrentHandler(int signal))(int) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  return current.sa_handler;
}

stack_t CurrentAlternateStack() {
  stack_t stack{};
  sigaltstack(nullptr, &stack);
  return stack;
}

// The same alternate stack, or both none.
bool SameAlternateStack(const stack_t& a, const stack_t& b) {
  if ((a.ss_flags & SS_DISABLE) != 0 || (b.ss_flags & SS_DISABLE) != 0) {
    return (a.ss_flags & SS_DISABLE) == (b.ss_flags & SS_DISABLE);
  }
  return a.ss_sp == b.ss_sp && a.ss_size == b.ss_size;
}

volatile int g_recurse = 1;
int Recurse(volatile char* outer) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(outer != nullptr ? outer[0] + 1 : 0);
  frame[sizeof frame - 1] = frame[0];
  return g_recurse != 0 ? Recurse(frame) + frame[1] : frame[0];
}
void OverflowTheStack(void*) { Recurse(nullptr); }

// Foreign code that sets an alternate stack of its own for the thread.
void ReplaceAlternateStack(void* memory) {
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = 65536;
  sigaltstack(&stack, nullptr);
}

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

TEST(FaultGuardPosixTest, AHandlerTheHostInstallsWhileAScopeLivesStays) {
  struct sigaction saved {};
  sigaction(SIGFPE, nullptr, &saved);
  {
    const FaultGuardScope scope;
    // As the host does on another thread while a provider call runs.
    std::thread host([] {
      const struct sigaction action = HandlerAction(OtherHostHandler);
      sigaction(SIGFPE, &action, nullptr);
    });
    host.join();
  }
  EXPECT_EQ(CurrentHandler(SIGFPE), OtherHostHandler);
  sigaction(SIGFPE, &saved, nullptr);
}

// The thread's own alternate stack, or none, is what it has after guarded calls, also
// when foreign code replaced it and when a stack overflow ran the handler on it. (A
// sanitizer gives every thread one of its own.)
TEST(FaultGuardPosixTest, TheThreadsAlternateStackComesBack) {
  std::thread([] {
    const stack_t initial = CurrentAlternateStack();
    std::vector<char> foreign(65536);
    EXPECT_TRUE(CallGuarded(ReplaceAlternateStack, foreign.data()));
    EXPECT_TRUE(SameAlternateStack(CurrentAlternateStack(), initial));
    EXPECT_FALSE(CallGuarded(OverflowTheStack, nullptr));
    EXPECT_TRUE(SameAlternateStack(CurrentAlternateStack(), initial));

    std::vector<char> own(65536);
    stack_t host{};
    host.ss_sp = own.data();
    host.ss_size = own.size();
    ASSERT_EQ(sigaltstack(&host, nullptr), 0);
    EXPECT_FALSE(CallGuarded(OverflowTheStack, nullptr));
    {
      const FaultGuardScope scope;
      EXPECT_TRUE(CallGuarded(ReplaceAlternateStack, foreign.data()));
      EXPECT_FALSE(CallGuarded(OverflowTheStack, nullptr));
    }
    EXPECT_TRUE(SameAlternateStack(CurrentAlternateStack(), host));
    stack_t restore = initial;
    restore.ss_flags &= SS_DISABLE;
    sigaltstack(&restore, nullptr);
  }).join();
}

// The handler provider sets SIGTERM, SIGINT (with SA_SIGINFO) and an alternate stack of
// its own; a handler into its code for a fault signal stands for one it installs while
// another thread's scope keeps the guard's in place.
TEST(FaultGuardPosixTest, HandlersIntoAForeignLibraryAreRemovedAtItsScopesEnd) {
  DynamicLibrary library;
  ASSERT_TRUE(library.Open(test::TestProviderPath("qorv_handler_provider")));
  auto initCrypt = reinterpret_cast<QorvProviderInitFn>(library.Symbol("InitCrypt"));
  auto libraryCode = reinterpret_cast<void (*)(int)>(library.Symbol("Encrypt"));
  ASSERT_NE(initCrypt, nullptr);
  struct sigaction savedTerm {
  }, savedInt{}, savedFpe{};
  const struct sigaction host = HandlerAction(HostHandler);
  sigaction(SIGTERM, &host, &savedTerm);
  sigaction(SIGINT, &host, &savedInt);
  sigaction(SIGFPE, &host, &savedFpe);

  {
    const FaultGuardScope other;  // another thread's provider sequence
    std::thread([&] {
      const stack_t initial = CurrentAlternateStack();
      {
        const FaultGuardScope scope(&library);
        char buffer[16] = "";
        char* text = buffer;
        EXPECT_EQ(initCrypt(0, &text), 1);
        const struct sigaction intoLibrary = HandlerAction(libraryCode);
        sigaction(SIGFPE, &intoLibrary, nullptr);
      }
      EXPECT_EQ(CurrentHandler(SIGTERM), HostHandler);
      EXPECT_EQ(CurrentHandler(SIGINT), HostHandler);
      EXPECT_TRUE(SameAlternateStack(CurrentAlternateStack(), initial));
      // The guard's own handler is back for the other sequence's calls.
      int signal = SIGFPE;
      EXPECT_FALSE(CallGuarded(Raise, &signal));
    }).join();
  }
  EXPECT_EQ(CurrentHandler(SIGFPE), HostHandler);
  sigaction(SIGTERM, &savedTerm, nullptr);
  sigaction(SIGINT, &savedInt, nullptr);
  sigaction(SIGFPE, &savedFpe, nullptr);
}

TEST(FaultGuardPosixTest, OnlyLibrariesThatImportASignalFunctionAreWatched) {
  DynamicLibrary handlers;
  DynamicLibrary plain;
  ASSERT_TRUE(handlers.Open(test::TestProviderPath("qorv_handler_provider")));
  ASSERT_TRUE(plain.Open(test::TestProviderPath("qorv_test_provider")));
  EXPECT_TRUE(ImportsAnyOf(handlers, {"sigaction"}));
  EXPECT_TRUE(ImportsAnyOf(handlers, {"nothing", "signal"}));
  EXPECT_FALSE(ImportsAnyOf(plain, {"sigaction", "signal", "InitCrypt"}));
  EXPECT_TRUE(ImportsAnyOf(plain, {"fopen"}));
  EXPECT_TRUE(ImportsAnyOf(DynamicLibrary(), {"sigaction"}));  // nothing to read: assumed
}

}  // namespace
}  // namespace qorv::platform
