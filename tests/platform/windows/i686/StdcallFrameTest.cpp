// The eleven exports called as a 32-bit host calls them: through stdcall function
// pointers found by name, with the stack pointer, the callee-saved registers and the
// exception chain compared before and after each call. Each export runs a path of its
// own, including a provider that faults and one built with the cdecl convention.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "QorvCryptProvider.h"
#include "interface/ParamString.h"
#include "platform/DynamicLibrary.h"
#include "platform/windows/i686/StdcallProbe.h"
#include "support/Deployment.h"
#include "support/StoreSeed.h"
#include "support/TestProvider.h"
#include "util/Messages.h"

namespace qorv {
namespace {

using test::Deployment;

struct ProbeCase {
  const char* name;
  const void* fn;
  std::vector<uintptr_t> args;  // the reply buffer's address comes last, added by the test
  std::string params;
  unsigned char expected;
  std::string expectedMessage;  // ResultMsgStr of the reply, for the failing cases
};

uintptr_t Arg(const std::string& text) { return reinterpret_cast<uintptr_t>(text.c_str()); }

template <typename Fn>
const void* Address(Fn fn) {
  return reinterpret_cast<const void*>(fn);
}

void ExpectSameFrame(const QorvStdcallRegisters& before, const QorvStdcallRegisters& after, const char* name) {
  EXPECT_EQ(after.esp, before.esp) << name << ": the arguments were not taken off the stack exactly";
  EXPECT_EQ(after.ebx, before.ebx) << name;
  EXPECT_EQ(after.esi, before.esi) << name;
  EXPECT_EQ(after.edi, before.edi) << name;
  EXPECT_EQ(after.ebp, before.ebp) << name;
  EXPECT_EQ(after.sehChain, before.sehChain) << name << ": an exception registration record was left behind";
}

// The probe itself: the cdecl provider's InitCrypt leaves its two arguments behind.
TEST(StdcallFrameTest, TheProbeSeesAFunctionThatLeavesItsArguments) {
  platform::DynamicLibrary provider;
  ASSERT_TRUE(provider.Open(test::TestProviderPath("qorv_test_provider_cdecl"))) << provider.LastError();
  const void* initCrypt = provider.Symbol("InitCrypt");
  ASSERT_NE(initCrypt, nullptr);
  char text[QORVCRYPT_PROVIDER_BUFFER_SIZE] = "Keep=1";
  char* params = text;
  const uintptr_t args[] = {7, reinterpret_cast<uintptr_t>(&params)};
  QorvStdcallRegisters before{}, after{};
  EXPECT_EQ(qorv_probe_stdcall(initCrypt, args, 2, &before, &after), 1);
  EXPECT_EQ(after.esp, before.esp - sizeof args);
  EXPECT_EQ(after.ebx, before.ebx);
  EXPECT_EQ(after.ebp, before.ebp);
  EXPECT_EQ(after.sehChain, before.sehChain);
}

TEST(StdcallFrameTest, EveryExportKeepsTheCallersFrame) {
  Deployment d;
  const std::string config = d.WriteConfig({
      {"Pair", "", "1", "pair", "1", "1", "", {{"RevenueCode", "12"}}},
      {"Pwd", "", "2", "pwd", "", "", "", {}},
      {"Cdecl", test::TestProviderPath("qorv_test_provider_cdecl"), "0", "cdecl", "", "", "", {}},
  });
  test::SeedCertificates(d.dir(), d.LibraryDir(), "Pair", "alice", "12", true);
  d.script().Answer("Decrypt", "fault");
  const std::string pair = "Pair", pwd = "Pwd", cdecl = "Cdecl", alice = "alice";
  const std::string source = d.dir().Write("plain.txt", "text"), target = d.dir().File("out.bin");
  const std::string serverEnc = d.dir().Write("new-server-enc.cer", "e");
  const std::string serverSign = d.dir().Write("new-server-sign.cer", "s");
  std::vector<char> list(65536, '\0');

  const uintptr_t h = 0x5151;
  const std::vector<uintptr_t> pairAlice = {h, Arg(config), Arg(pair), Arg(alice)};
  auto with = [](std::vector<uintptr_t> args, std::vector<uintptr_t> more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  const ProbeCase cases[] = {
      {"GetCryptList", Address(d.getCryptList), {h, Arg(config), reinterpret_cast<uintptr_t>(list.data())}, "", 1, ""},
      {"Encrypt", Address(d.encrypt), with(pairAlice, {Arg(source), Arg(target)}), "", 1, ""},
      // The provider faults inside Decrypt: the library's exception frame unwinds it.
      {"Decrypt", Address(d.decrypt), with(pairAlice, {Arg(target), Arg(source)}), "", 0,
       msg::ProviderRaised("Decrypt")},
      {"GetCryptInfo", Address(d.getCryptInfo), pairAlice, "", 1, ""},
      {"SetCaFile",
       Address(d.setCaFile),
       {h, Arg(config), Arg(pair), Arg(alice)},
       "RootCertFile=" + d.dir().Write("new-root.cer", "r") + ";EncCertFile=" + d.dir().Write("new-enc.cer", "e") +
           ";EncKeyFile=" + d.dir().Write("new-enc.key", "k") + ";EncKeyPwd=e;SignCertFile=" +
           d.dir().Write("new-sign.cer", "s") + ";SignKeyFile=" + d.dir().Write("new-sign.key", "k") + ";SignKeyPwd=s",
       1,
       ""},
      {"GetCertFile", Address(d.getCertFile), pairAlice, "", 1, ""},
      {"CreateCAFile", Address(d.createCAFile), pairAlice, "", 1, ""},
      {"ChangeCAPassword", Address(d.changeCAPassword), pairAlice, "NewEncKeyPwd=e2;NewSignKeyPwd=s2", 1, ""},
      {"ValidateCert", Address(d.validateCert), pairAlice, "", 1, ""},
      {"SetCryptParams", Address(d.setCryptParams), {h, Arg(config), Arg(pwd), Arg(alice)}, "PassWord=secret", 1, ""},
      {"SetRevenueCAFile",
       Address(d.setRevenueCAFile),
       {h, Arg(config), Arg(pair)},
       "RevenueEncCertFile=" + serverEnc + ";RevenueSignCertFile=" + serverSign,
       1,
       ""},
      // A provider built cdecl leaves InitCrypt's arguments on the stack; the library
      // takes them off and reports the call as a raising one.
      {"Encrypt (cdecl provider)",
       Address(d.encrypt),
       {h, Arg(config), Arg(cdecl), Arg(alice), Arg(source), Arg(target)},
       "Keep=1",
       0,
       msg::ProviderRaised("InitCrypt")},
  };
  for (const ProbeCase& c : cases) {
    std::vector<char> buffer(c.params.begin(), c.params.end());
    buffer.resize(c.params.size() + 65536, '\0');
    char* text = buffer.data();
    std::vector<uintptr_t> args = c.args;
    args.push_back(reinterpret_cast<uintptr_t>(&text));
    QorvStdcallRegisters before{}, after{};
    const unsigned char result =
        qorv_probe_stdcall(c.fn, args.data(), static_cast<unsigned>(args.size()), &before, &after);
    ExpectSameFrame(before, after, c.name);
    EXPECT_EQ(result, c.expected) << c.name << ": " << text;
    EXPECT_EQ(text, buffer.data()) << c.name;
    if (!c.expectedMessage.empty()) {
      EXPECT_EQ(GetParamValue(text, "ResultMsgStr"), c.expectedMessage) << c.name;
    }
  }
  // The calls reached the providers (the cdecl one records too: its InitCrypt ran to
  // the end): the frames checked were those of whole requests.
  EXPECT_EQ(d.script().CallOrder(),
            "InitCrypt Encrypt FinalCrypt InitCrypt Decrypt FinalCrypt InitCrypt CreateCAFile FinalCrypt "
            "InitCrypt ChangeCAPassword FinalCrypt InitCrypt ValidateCert FinalCrypt InitCrypt");
}

}  // namespace
}  // namespace qorv
