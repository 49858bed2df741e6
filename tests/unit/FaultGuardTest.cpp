#include "platform/FaultGuard.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <thread>
#include <vector>

namespace qorv::platform {
namespace {

// Read at run time, so that the compiler cannot see the write is bound to fault.
volatile uintptr_t g_unmappedAddress = 16;

void WriteToBadAddress(void*) { *reinterpret_cast<volatile int*>(g_unmappedAddress) = 1; }

void SetFlag(void* flag) { *static_cast<int*>(flag) = 42; }

// Recursion deep enough to leave frames of its own between the guard and the fault.
void FaultDeepInside(void* depth) {
  int& remaining = *static_cast<int*>(depth);
  if (remaining-- > 0) {
    FaultDeepInside(depth);
  } else {
    WriteToBadAddress(nullptr);
  }
}

// Never 0: the compiler cannot tell that the recursion below has no end.
volatile int g_recurse = 1;

// Each frame touches both ends of its kilobyte, so that no page of the stack is skipped.
int Recurse(volatile char* outer) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(outer != nullptr ? outer[0] + 1 : 0);
  frame[sizeof frame - 1] = frame[0];
  return g_recurse != 0 ? Recurse(frame) + frame[1] : frame[0];
}

void OverflowTheStack(void*) { Recurse(nullptr); }

TEST(FaultGuardTest, ReturnsTrueWhenTheCallReturns) {
  int flag = 0;
  EXPECT_TRUE(CallGuarded(SetFlag, &flag));
  EXPECT_EQ(flag, 42);
}

TEST(FaultGuardTest, CatchesAccessViolationsRepeatedlyAndGoesOn) {
  for (int i = 0; i < 200; ++i) {
    int depth = 20;
    ASSERT_FALSE(CallGuarded(FaultDeepInside, &depth)) << "round " << i;
  }
  int flag = 0;
  EXPECT_TRUE(CallGuarded(SetFlag, &flag));
  EXPECT_EQ(flag, 42);
}

TEST(FaultGuardTest, GuardsNestAndWorkOnManyThreadsAtOnce) {
  struct Nested {
    static void Outer(void* result) {
      *static_cast<int*>(result) = CallGuarded(WriteToBadAddress, nullptr) ? 1 : 2;
    }
  };
  int inner = 0;
  EXPECT_TRUE(CallGuarded(Nested::Outer, &inner));
  EXPECT_EQ(inner, 2);

  std::atomic<int> caught{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&caught] {
      for (int i = 0; i < 50; ++i) {
        if (!CallGuarded(WriteToBadAddress, nullptr)) ++caught;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(caught.load(), 200);
}

// Runs the overflows on a thread of their own and tells whether it got through them:
// wine ends a thread whose overflow finds no room, and can let the process end with
// status 0 when that thread was the main one.
bool OverflowsCaughtOnAThread(int rounds) {
  bool done = false;
  std::thread([&] {
    for (int round = 0; round < rounds; ++round) EXPECT_FALSE(CallGuarded(OverflowTheStack, nullptr)) << round;
    int flag = 0;
    EXPECT_TRUE(CallGuarded(SetFlag, &flag));
    done = flag == 42;
  }).join();
  return done;
}

// Each overflow finds the stack ready for the next one, on other threads and (on POSIX,
// whose main stack grows as it is used) on the main thread.
TEST(FaultGuardTest, CatchesStackOverflowsOneAfterAnother) {
  EXPECT_TRUE(OverflowsCaughtOnAThread(3));
  EXPECT_TRUE(OverflowsCaughtOnAThread(1));
  if (!kWindows) {
    for (int round = 0; round < 3; ++round) EXPECT_FALSE(CallGuarded(OverflowTheStack, nullptr)) << round;
  }
  int depth = 5;
  EXPECT_FALSE(CallGuarded(FaultDeepInside, &depth));
  int flag = 0;
  EXPECT_TRUE(CallGuarded(SetFlag, &flag));
  EXPECT_EQ(flag, 42);
}

}  // namespace
}  // namespace qorv::platform
