// Windows specifics of the fault guard: structured exceptions of every kind, including
// the non-continuable ones that MSVC C++ and Delphi code raise.
#include <windows.h>

#include <gtest/gtest.h>

#include <csignal>

#include "QorvCryptProvider.h"
#include "platform/DynamicLibrary.h"
#include "platform/FaultGuard.h"
#include "support/TestProvider.h"

namespace qorv::platform {
namespace {

struct Raised {
  DWORD code;
  DWORD flags;
};

void RaiseIt(void* raised) {
  const auto* r = static_cast<const Raised*>(raised);
  ULONG_PTR arguments[3] = {0x19930520, 0, 0};
  RaiseException(r->code, r->flags, 3, arguments);
}

void DivideByZero(void*) {
  volatile int zero = 0;
  volatile int result = 10 / zero;
  (void)result;
}

TEST(FaultGuardWindowsTest, CatchesEveryKindOfStructuredException) {
  const Raised cases[] = {
      {0xE06D7363, EXCEPTION_NONCONTINUABLE},  // MSVC C++ throw
      {0x0EEDFADE, EXCEPTION_NONCONTINUABLE},  // Delphi exception
      {0xC0000005, 0},
      {0x20000001, 0},  // any application code
      {0xE0000001, EXCEPTION_NONCONTINUABLE},
  };
  for (int round = 0; round < 20; ++round) {
    for (Raised raised : cases) {
      EXPECT_FALSE(CallGuarded(RaiseIt, &raised)) << std::hex << raised.code;
    }
    EXPECT_FALSE(CallGuarded(DivideByZero, nullptr));
  }
}

LONG WINAPI HostFilter(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }
void HostSignalHandler(int) {}

// The handler provider sets the C runtime's SIGTERM handler and the unhandled-exception
// filter to code of its own; both are the host's again at its scope's end.
TEST(FaultGuardWindowsTest, HandlersIntoAForeignLibraryAreRemovedAtItsScopesEnd) {
  DynamicLibrary library;
  ASSERT_TRUE(library.Open(test::TestProviderPath("qorv_handler_provider")));
  auto initCrypt = reinterpret_cast<QorvProviderInitFn>(library.Symbol("InitCrypt"));
  ASSERT_NE(initCrypt, nullptr);
  const LPTOP_LEVEL_EXCEPTION_FILTER savedFilter = SetUnhandledExceptionFilter(HostFilter);
  const auto savedTerm = std::signal(SIGTERM, HostSignalHandler);
  {
    const FaultGuardScope scope(&library);
    char buffer[16] = "";
    char* text = buffer;
    EXPECT_EQ(initCrypt(0, &text), 1);
  }
  EXPECT_EQ(SetUnhandledExceptionFilter(savedFilter), HostFilter);
  EXPECT_EQ(std::signal(SIGTERM, savedTerm), HostSignalHandler);
}

}  // namespace
}  // namespace qorv::platform
