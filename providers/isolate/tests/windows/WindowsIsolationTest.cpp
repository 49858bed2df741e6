// On Windows: a provider that leaks per load leaks into its helper only, and a 32-bit
// host uses a 64-bit provider through the helper of the provider's architecture.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "IsolationSupport.h"
#include "support/Deployment.h"

namespace qorv {
namespace {

using test::Deployment;
using test::IsolatedType;
using test::TestProviderPath;

// The thread-local-storage slots this process can still take.
size_t FreeThreadLocalSlots() {
  std::vector<DWORD> taken;
  for (DWORD slot; (slot = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(slot);
  for (DWORD slot : taken) TlsFree(slot);
  return taken.size();
}

// A process has 1,088 slots: loaded directly, the leaky provider ends a host after about
// a thousand requests. Isolated, it takes none, however many requests there are
// (QORV_LEAKY_REQUESTS, 40 by default; 3600 runs a working day's worth).
TEST(LeakyProviderIsolationTest, IsolatedRequestsTakeNoSlotFromTheHostWhereDirectOnesDo) {
  Deployment d;
  const std::string leaky = TestProviderPath("qorv_leaky_tls_provider");
  d.WriteConfig({{"Direct", leaky, "0", "direct", "", "", "", {}}, IsolatedType("Isolated", leaky)});

  const size_t beforeDirect = FreeThreadLocalSlots();
  for (int round = 0; round < 20; ++round) ASSERT_EQ(d.Encrypt("Direct", "u", "a", "b", "").ok, 1) << round;
  const size_t afterDirect = FreeThreadLocalSlots();
  if (sizeof(void*) == 4) {
    // The test provider leaks as the kind of provider it stands for does.
    EXPECT_LE(afterDirect + 20, beforeDirect);
  }

  const char* const configured = std::getenv("QORV_LEAKY_REQUESTS");
  const int requests = configured != nullptr ? std::atoi(configured) : 40;
  int served = 0;
  for (int round = 0; round < requests; ++round) served += d.Encrypt("Isolated", "u", "a", "b", "").ok;
  EXPECT_EQ(served, requests);
  EXPECT_EQ(FreeThreadLocalSlots(), afterDirect);
}

// Run by its own test in a 64-bit prefix, with QORV_OTHER_ARCH_BIN naming the other
// build's program folder (the x86_64 build's, for the i686 tests).
TEST(CrossArchitectureIsolationTest, AHostUsesAProviderOfTheOtherArchitectureThroughItsHelper) {
  const char* const otherBin = std::getenv("QORV_OTHER_ARCH_BIN");
  if (otherBin == nullptr) GTEST_SKIP() << "run by the cross_architecture_isolation test, which names the other build";
  const std::string bin = std::string(otherBin) + "\\";
  const std::string helper = bin + "qorvcrypt-provider-host.exe";
  const std::string provider = bin + "qorv_test_provider.dll";
  ASSERT_TRUE(std::filesystem::exists(helper) && std::filesystem::exists(provider))
      << "the other architecture's build is missing: " << helper << " and " << provider
      << " must exist (build the windows-x86_64 preset first)";

  Deployment d;
  d.WriteConfig({IsolatedType("Other", provider, {{"IsolatedHost", helper}}), IsolatedType("Same", provider)});
  d.script().Answer("Encrypt", "0", "ResultMsgStr=from the other side");
  const test::ExportReply reply = d.Encrypt("Other", "u", "a", "b", "", 99);
  EXPECT_EQ(reply.ok, 0);
  EXPECT_NE(reply.params.find("from the other side"), std::string::npos) << reply.params;
  EXPECT_EQ(d.script().CallOrder(), "InitCrypt Encrypt FinalCrypt");
  EXPECT_EQ(d.script().Calls()[0].handle, 99u);
  // The helper of the host's own architecture cannot load it.
  const test::ExportReply same = d.Encrypt("Same", "u", "a", "b", "");
  EXPECT_EQ(same.ok, 0);
  EXPECT_NE(same.params.find(provider), std::string::npos) << same.params;
}

}  // namespace
}  // namespace qorv
