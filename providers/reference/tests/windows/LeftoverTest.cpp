// A writer still at work on Windows holds its temporary file open: the leftover cleanup
// of the next writer to the same target must leave it alone.
#include <gtest/gtest.h>
#include <windows.h>

#include "Material.h"

namespace qorv_ref::test {
namespace {

TEST(LeftoverTest, TheTemporaryFileOfAWriterStillAtWorkIsLeftAlone) {
  TempFolder dir;
  const std::string init = Params({{"User", "alice"}, {"KeyFile", Shared().keyFile}, {"Mode", "0"}});
  const std::string sealed = dir.File("sealed");
  ASSERT_TRUE(RunSequence(init, Encrypt, Params({{"SourceFile", dir.Write("plain", "content")}, {"TargetFile", sealed}})).ok);
  const std::string busy = dir.Write(".opened.a1b2c3d4e5f6.qrvpart", "being written");
  // As a writer holds it: sharing nothing but deletion.
  HANDLE held = CreateFileA(busy.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const Reply reply = RunSequence(init, Decrypt, Params({{"SourceFile", sealed}, {"TargetFile", dir.File("opened")}}));
  CloseHandle(held);
  ASSERT_TRUE(reply.ok) << reply.Message();
  EXPECT_EQ(ReadBytes(busy), "being written");
}

}  // namespace
}  // namespace qorv_ref::test
