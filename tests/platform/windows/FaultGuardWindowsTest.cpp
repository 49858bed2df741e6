// Windows specifics of the fault guard: structured exceptions of every kind, including
// the non-continuable ones that MSVC C++ and Delphi code raise.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/FaultGuard.h"

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

}  // namespace
}  // namespace qorv::platform
