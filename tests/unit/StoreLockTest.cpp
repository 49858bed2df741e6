#include "store/StoreLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "support/TempDir.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;

TEST(StoreLockTest, AThreadTakesItsLockAgainWhileOthersWait) {
  test::TempDir dir;
  const std::string setFile = dir.File("UserCa_T.ini");
  const std::string lockFile = TStoreLock::LockFileName(setFile);
  {
    // Reading creates nothing, and a read cannot become a change.
    const TStoreLock read(setFile, TStoreLock::Mode::Read);
    EXPECT_TRUE(read.Held());
    const TStoreLock change(setFile, TStoreLock::Mode::Change);
    EXPECT_FALSE(change.Held());
  }
  EXPECT_FALSE(fs::exists(lockFile));

  auto change = std::make_unique<TStoreLock>(setFile, TStoreLock::Mode::Change);
  ASSERT_TRUE(change->Held());
  EXPECT_TRUE(fs::exists(lockFile));
  {
    const TStoreLock again(setFile, TStoreLock::Mode::Change);
    const TStoreLock read(setFile, TStoreLock::Mode::Read);
    EXPECT_TRUE(again.Held());
    EXPECT_TRUE(read.Held());
  }
  // Still held after the inner ones: another thread waits for the outer one.
  std::atomic<bool> entered{false};
  std::thread reader([&] {
    const TStoreLock read(setFile, TStoreLock::Mode::Read);
    entered = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(entered);
  change.reset();
  reader.join();
  EXPECT_TRUE(entered);
}

}  // namespace
}  // namespace qorv
