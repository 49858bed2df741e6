// SetCryptParams through the built library.
#include <gtest/gtest.h>

#include <string>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "store/StorePaths.h"
#include "support/Deployment.h"
#include "util/Messages.h"

namespace qorv {
namespace {

using test::Deployment;
using test::ExportReply;

class SetCryptParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d_.WriteConfig({{"Pwd", "", "2", "pwd", "", "", "", {}}, {"Cert", "", "1", "cert", "1", "0", "", {}}});
  }
  std::string StoredPassword(const std::string& user) {
    return GetParamValue(d_.GetCryptInfo("Pwd", user, "").params, "PassWord");
  }
  Deployment d_;
};

TEST_F(SetCryptParamsTest, RecordsThePasswordOfTheRequest) {
  ExportReply reply = d_.SetCryptParams("Pwd", "alice", "A=1;PassWord=s&eq%cret");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params, "A=1;PassWord=s&eq%cret");
  EXPECT_EQ(StoredPassword("alice"), "s=cret");

  // Without PassWord the empty password replaces the stored one, and the reply says so.
  reply = d_.SetCryptParams("Pwd", "alice", "A=1");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params, "A=1;PassWord=");
  EXPECT_EQ(StoredPassword("alice"), "");
  EXPECT_EQ(d_.script().Calls().size(), 0u);  // no provider is involved
}

// The stores stay beside the library when the host loaded it by a relative name and has
// moved on to another directory since.
TEST(SetCryptParamsStoreTest, TheStoresStayBesideALibraryLoadedByARelativeName) {
  if (platform::kWindows) {
    // Windows names every module by its full path; and its loader would hand back the
    // library this test program was linked with, which has the same name.
    GTEST_SKIP() << "a POSIX loader matter";
  }
  Deployment d(Deployment::LoadBy::NameInItsFolder);
  d.WriteConfig({{"Pwd", "", "2", "pwd", "", "", "", {}}});
  ASSERT_EQ(d.SetCryptParams("Pwd", "alice", "PassWord=secret").ok, 1);
  EXPECT_EQ(GetParamValue(d.GetCryptInfo("Pwd", "alice", "").params, "PassWord"), "secret");
  EXPECT_NE(test::ReadFileBytes(CertificateSetFileName(d.LibraryDir(), "Pwd")), "");
}

TEST_F(SetCryptParamsTest, RefusedRequests) {
  struct Case {
    std::string type, user, message;
  };
  const Case cases[] = {
      {"Cert", "alice", msg::PasswordModeRequired()},
      {"Absent", "alice", msg::CryptTypeNotConfigured(d_.configPath(), "Absent")},
      {"Pwd", "a/b", msg::UnsafeStoreName("a/b")},
      // An empty user has no section to record into.
      {"Pwd", "", msg::UnsafeStoreName("")},
  };
  for (const Case& c : cases) {
    const ExportReply reply = d_.SetCryptParams(c.type, c.user, "PassWord=p");
    EXPECT_EQ(reply.ok, 0) << c.type << " " << c.user;
    EXPECT_EQ(reply.params, "PassWord=p;ResultMsgStr=" + EscapeParamText(c.message)) << c.type << " " << c.user;
  }

  // A refused write: a file stands where the CA folder goes.
  d_.dir().Write("lib" + std::string(1, platform::kPathSeparator) + "CA", "in the way");
  const ExportReply reply = d_.SetCryptParams("Pwd", "alice", "PassWord=p");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_EQ(reply.params, "PassWord=p;ResultMsgStr=" + EscapeParamText(msg::UserPasswordSaveFailed()));
}

}  // namespace
}  // namespace qorv
