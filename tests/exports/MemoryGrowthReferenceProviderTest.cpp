// The memory growth test with the reference provider, which the library loads and
// unloads for every request: 3,600 real requests in every mode must not grow the
// process (on Windows: whatever the provider's C++ runtime and libcrypto take per load).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "QorvCryptManage.h"
#include "interface/ParamString.h"
#include "platform/ProcessInfo.h"
#include "support/Deployment.h"

namespace qorv {
namespace {

using test::Deployment;

const std::string kProvider = QORV_REFERENCE_PROVIDER_FILE;

class MemoryGrowthReferenceProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string keyFile = d_.dir().Write("file.key", std::string(32, 'k'));
    // EC keys, the fewest key rounds, a low scrypt cost: the requests, not the
    // cryptography, are under test.
    d_.WriteConfig({{"Cert", kProvider, "1", "certificate", "1", "0", "",
                     {{"RevenueCode", "1"},
                      {"KeyAlg", "EC"},
                      {"KeyIterations", "10000"},
                      {"CertOutDir", d_.dir().File("issued")}}},
                    {"Pwd", kProvider, "2", "password", "", "", "", {{"KdfCost", "10"}}},
                    {"Plain", kProvider, "0", "key file", "", "", "", {{"KeyFile", keyFile}}}});
    const test::ExportReply server = d_.CreateCAFile("Cert", "server", "");
    ASSERT_TRUE(server.ok) << server.params;
    ASSERT_TRUE(d_.SetRevenueCAFile("Cert", "RevenueEncCertFile=" + GetParamValue(server.params, "EncCertFile")).ok);
    const test::ExportReply alice = d_.CreateCAFile("Cert", "alice", "");
    ASSERT_TRUE(alice.ok) << alice.params;
    ASSERT_TRUE(d_.SetCaFile("Cert", "alice", alice.params).ok);
    ASSERT_TRUE(d_.SetCryptParams("Pwd", "alice", "PassWord=secret").ok);
    source_ = d_.dir().Write("source.txt", std::string(20000, 's'));
    notEncrypted_ = d_.dir().Write("plain.qcm", "not an encrypted file");
  }

  // Twelve requests, ten of them through the provider; each must have its expected answer.
  void TwelveRequests() {
    std::vector<char> list(65536, '\0');
    std::vector<char> params(4096, '\0');
    char* text = params.data();
    ASSERT_EQ(GetCryptList(1, d_.configPath().c_str(), list.data(), &text), 1);
    for (const char* type : {"Cert", "Pwd", "Plain"}) {
      const std::string sealed = source_ + "." + type;
      ASSERT_TRUE(d_.Encrypt(type, "alice", source_, sealed, "").ok) << type;
      ASSERT_TRUE(d_.Decrypt(type, "alice", sealed, sealed + ".out", "").ok) << type;
    }
    ASSERT_TRUE(d_.ValidateCert("Cert", "alice", "").ok);
    ASSERT_TRUE(d_.GetCryptInfo("Cert", "alice", "").ok);
    // Refused inside the provider: its failure path, an exception in C++, runs too.
    ASSERT_FALSE(d_.Decrypt("Plain", "alice", notEncrypted_, notEncrypted_ + ".out", "").ok);
    ASSERT_FALSE(d_.Decrypt("Pwd", "alice", notEncrypted_, notEncrypted_ + ".out", "").ok);
  }

  Deployment d_;
  std::string source_;
  std::string notEncrypted_;
};

TEST_F(MemoryGrowthReferenceProviderTest, RepeatedRequestsDoNotGrowTheProcess) {
#ifdef QORV_SANITIZED
  GTEST_SKIP() << "the sanitizers hold freed memory back; they check for leaks themselves";
#endif
  // 300 rounds: 3,600 requests. An emulated guest, where a request costs ten times as
  // much, runs fewer (QORV_GROWTH_ROUNDS), but never so few that a thread-local slot
  // leaked per load (a process has 1,088) would go unnoticed; the bound shrinks with them.
  const char* const configured = std::getenv("QORV_GROWTH_ROUNDS");
  const int rounds = configured != nullptr ? std::max(100, std::atoi(configured)) : 300;
  for (int i = 0; i < 10; ++i) TwelveRequests();
  const size_t before = platform::ProcessMemoryBytes();
  ASSERT_GT(before, 0u);
  for (int i = 0; i < rounds && !HasFatalFailure(); ++i) TwelveRequests();
  const size_t after = platform::ProcessMemoryBytes();
  // A leak of some hundred bytes a request would show.
  const size_t bound = static_cast<size_t>(2 * 1024 * 1024) * static_cast<size_t>(rounds) / 300;
  EXPECT_LT(after, before + bound) << "grew from " << before << " to " << after << " bytes in " << rounds * 12
                                   << " requests";
}

}  // namespace
}  // namespace qorv
