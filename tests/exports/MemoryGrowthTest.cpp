// Every export called over and over, provider-backed ones included: the process's
// memory must not grow with the number of calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QorvCryptManage.h"
#include "platform/ProcessInfo.h"
#include "support/Deployment.h"
#include "support/StoreSeed.h"

namespace qorv {
namespace {

using test::Deployment;

void CallEveryExport(Deployment& d, const std::string& source, std::vector<char>& list) {
  std::vector<char> params(4096, '\0');
  char* text = params.data();
  GetCryptList(1, d.configPath().c_str(), list.data(), &text);
  d.Encrypt("Cert", "alice", source, source + ".enc", "A=1");
  d.Decrypt("Pwd", "alice", source, source + ".dec", "");
  d.Encrypt("Plain", "alice", source, source + ".enc", "");
  d.GetCryptInfo("Cert", "alice", "");
  d.GetCertFile("Cert", "alice", "");
  d.CreateCAFile("Cert", "alice", "");
  d.ChangeCAPassword("Cert", "alice", "NewEncKeyPwd=enc-pwd;NewSignKeyPwd=sign-pwd");
  d.ValidateCert("Cert", "alice", "");
  d.SetCryptParams("Pwd", "alice", "PassWord=secret");
  d.GetCryptInfo("Missing", "alice", "");  // a configuration failure
  d.SetCaFile("Cert", "alice", "");         // an install failure
  d.SetRevenueCAFile("Cert", "");           // and another
}

TEST(MemoryGrowthTest, RepeatedCallsDoNotGrowTheProcess) {
#ifdef QORV_SANITIZED
  GTEST_SKIP() << "the sanitizers hold freed memory back; they check for leaks themselves";
#endif
  Deployment d;
  d.WriteConfig({{"Cert", "", "1", "c", "1", "1", "", {{"RevenueCode", "1"}}},
                 {"Pwd", "", "2", "p", "", "", "", {}},
                 {"Plain", "", "0", "x", "", "", "", {}}});
  test::SeedCertificates(d.dir(), d.LibraryDir(), "Cert", "alice", "1", true);
  // The test provider's record of calls would grow by itself: nothing is scripted, so
  // it records into a file that is replaced below.
  const std::string source = d.dir().Write("source.txt", "data");
  std::vector<char> list(65536, '\0');

  for (int i = 0; i < 50; ++i) CallEveryExport(d, source, list);
  const size_t before = platform::ProcessMemoryBytes();
  ASSERT_GT(before, 0u);
  for (int i = 0; i < 300; ++i) CallEveryExport(d, source, list);
  const size_t after = platform::ProcessMemoryBytes();
  // 3,600 calls; a leak of even a few hundred bytes a call would show.
  EXPECT_LT(after, before + 2 * 1024 * 1024) << "grew from " << before << " to " << after << " bytes";
}

}  // namespace
}  // namespace qorv
