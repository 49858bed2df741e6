// POSIX specifics of the file services the stores use.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/FileCopy.h"
#include "support/TempDir.h"

namespace qorv::platform {
namespace {

TEST(PathServicesPosixTest, CopiesAreReadableByTheirOwnerOnlyAndReplaceWhole) {
  test::TempDir dir;
  const std::string source = dir.Write("key.pem", "private key");
  ASSERT_EQ(chmod(source.c_str(), 0644), 0);
  const std::string target = dir.Write("copy.pem", "an older, longer copy of the file");
  ASSERT_EQ(chmod(target.c_str(), 0666), 0);

  ASSERT_TRUE(CopyFileReplacing(source, target));
  EXPECT_EQ(test::ReadFileBytes(target), "private key");
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(CopyFileReplacing(dir.File("missing.pem"), target));
  EXPECT_EQ(test::ReadFileBytes(target), "private key");
  EXPECT_FALSE(CopyFileReplacing(source, dir.File("no-such-folder/copy.pem")));
}

}  // namespace
}  // namespace qorv::platform
