// Windows specifics of the copies the stores make and of the store's lock: devices and
// pipes as sources, copies created exclusively, read-only targets, lock files that
// readers do not create.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/FileCopy.h"
#include "platform/FileLock.h"
#include "support/FolderSnapshot.h"
#include "support/TempDir.h"

namespace qorv::platform {
namespace {

TEST(FileCopyWindowsTest, DevicesAndPipesAreNoSources) {
  HANDLE pipe =
      CreateNamedPipeA("\\\\.\\pipe\\qorv-copy-test", PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  for (const std::string source : {"NUL", "CON", "\\\\.\\NUL", "\\\\.\\pipe\\qorv-copy-test"}) {
    EXPECT_NE(CheckCopySource(source, kAnySize), CopySource::Ok) << source;
    test::TempDir dir;
    std::string created;
    CopySource why;
    EXPECT_FALSE(CopyToNewFile(source, dir.path(), true, kAnySize, created, why)) << source;
    EXPECT_TRUE(test::SnapshotOf(dir.path()).empty()) << source;
  }
  CloseHandle(pipe);
}

TEST(FileCopyWindowsTest, CopiesAreNewFilesThatReplaceReadOnlyOnes) {
  test::TempDir dir;
  const std::string source = dir.Write("key.pem", "private key");
  std::string first, second;
  CopySource why;
  ASSERT_TRUE(CopyToNewFile(source, dir.path(), true, kAnySize, first, why));
  ASSERT_TRUE(CopyToNewFile(source, dir.path(), true, kAnySize, second, why));
  EXPECT_NE(first, second);
  EXPECT_EQ(test::ReadFileBytes(first), "private key");
  EXPECT_EQ(CheckCopySource(source, 10), CopySource::TooLarge);

  const std::string target = dir.Write("copy.pem", "old");
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(MoveReplacing(first, target));
  EXPECT_EQ(test::ReadFileBytes(target), "private key");
  std::string aside;
  ASSERT_TRUE(MoveAside(target, aside));
  EXPECT_EQ(GetFileAttributesA(target.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(test::ReadFileBytes(aside), "private key");
  EXPECT_TRUE(RemoveFile(second));
  EXPECT_TRUE(RemoveFile(aside));
  EXPECT_EQ(test::SnapshotOf(dir.path()).size(), 1u);
}

TEST(FileCopyWindowsTest, LeftoversOfUnfinishedCopiesAreRemovedAndNothingElse) {
  test::TempDir dir;
  const std::string source = dir.Write("key.pem", "private key");
  test::TempDir folder;
  const std::string kept = folder.Write("key.pem", "kept");
  std::string copy, aside;
  CopySource why;
  ASSERT_TRUE(CopyToNewFile(source, folder.path(), true, kAnySize, copy, why));
  ASSERT_TRUE(MoveAside(kept, aside));
  folder.Write("key.pem", "kept");
  folder.Write("other.tmp", "kept");
  RemoveLeftoverCopies(folder.path());
  EXPECT_EQ(test::SnapshotOf(folder.path()),
            (test::FolderSnapshot{{"key.pem", "file: kept"}, {"other.tmp", "file: kept"}}));
}

TEST(FileLockWindowsTest, TakingAnExistingLockCreatesNothing) {
  test::TempDir dir;
  const std::string path = dir.File("store.lock");
  FileLock reader;
  EXPECT_FALSE(reader.AcquireExisting(path, FileLock::Mode::Shared));
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  FileLock writer;
  ASSERT_TRUE(writer.Acquire(path, FileLock::Mode::Exclusive));
  writer.Release();
  EXPECT_TRUE(reader.AcquireExisting(path, FileLock::Mode::Shared));
}

}  // namespace
}  // namespace qorv::platform
