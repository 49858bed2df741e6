// POSIX specifics of the copies the stores make and of the store's lock: links where
// the copy goes, owner-only files, sources that are no regular file, lock files that
// readers do not create.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/FileCopy.h"
#include "platform/FileLock.h"
#include "support/FolderSnapshot.h"
#include "support/TempDir.h"

namespace qorv::platform {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(FileCopyPosixTest, ACopyIsAFileOfItsOwnAndPrivate) {
  test::TempDir dir;
  const std::string source = dir.Write("key.pem", "private key");
  ASSERT_EQ(chmod(source.c_str(), 0644), 0);
  const std::string folder = dir.File("store");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);

  std::string first, second;
  CopySource why;
  ASSERT_TRUE(CopyToNewFile(source, folder + "/", true, kAnySize, first, why));
  ASSERT_TRUE(CopyToNewFile(source, folder, true, kAnySize, second, why));
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(folder + "/", 0), 0u) << first;
  EXPECT_EQ(test::ReadFileBytes(first), "private key");
  EXPECT_EQ(ModeOf(first), 0600u);

  // Put in place of a link, the link itself gives way.
  const std::string victim = dir.Write("victim", "victim");
  const std::string target = folder + "/key.pem";
  ASSERT_EQ(symlink(victim.c_str(), target.c_str()), 0);
  ASSERT_TRUE(MoveReplacing(first, target));
  EXPECT_EQ(ModeOf(target) & 0777, 0600u);
  EXPECT_EQ(test::ReadFileBytes(victim), "victim");

  // Moved aside under a fresh name, replacing nothing; a folder is not moved.
  std::string aside;
  ASSERT_TRUE(MoveAside(target, aside));
  EXPECT_NE(access(target.c_str(), F_OK), 0);
  EXPECT_EQ(test::ReadFileBytes(aside), "private key");
  EXPECT_FALSE(MoveAside(folder, aside));
  EXPECT_FALSE(MoveAside(dir.File("missing"), aside));

  // A link in place of the folder is refused where the folder must be real.
  const std::string linked = dir.File("linked");
  ASSERT_EQ(symlink(folder.c_str(), linked.c_str()), 0);
  EXPECT_FALSE(CopyToNewFile(source, linked + "/", true, kAnySize, first, why));
  EXPECT_TRUE(CopyToNewFile(source, linked + "/", false, kAnySize, first, why));

  // Sources: a bound on the size, and no regular file.
  EXPECT_EQ(CheckCopySource(source, 11), CopySource::Ok);
  EXPECT_EQ(CheckCopySource(source, 10), CopySource::TooLarge);
  EXPECT_FALSE(CopyToNewFile(source, folder, true, 10, first, why));
  EXPECT_EQ(why, CopySource::TooLarge);
  EXPECT_EQ(CheckCopySource("/dev/zero", kAnySize), CopySource::NotRegularFile);
  EXPECT_EQ(CheckCopySource(folder, kAnySize), CopySource::NotRegularFile);
  EXPECT_EQ(CheckCopySource(dir.File("missing"), kAnySize), CopySource::Missing);
  // Nothing of the refused copies is left.
  EXPECT_EQ(test::SnapshotOf(folder).size(), 3u);
}

TEST(FileCopyPosixTest, LeftoversOfUnfinishedCopiesAreRemovedAndNothingElse) {
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

TEST(FileLockPosixTest, TakingAnExistingLockCreatesNothing) {
  test::TempDir dir;
  const std::string path = dir.File("store.lock");
  FileLock reader;
  EXPECT_FALSE(reader.AcquireExisting(path, FileLock::Mode::Shared));
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  FileLock writer;
  ASSERT_TRUE(writer.Acquire(path, FileLock::Mode::Exclusive));
  writer.Release();
  EXPECT_TRUE(reader.AcquireExisting(path, FileLock::Mode::Shared));
}

}  // namespace
}  // namespace qorv::platform
