// The isolating provider, through the built library as hosts use it: the real provider
// runs in a helper process, and whatever it does there fails that request only.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "IsolationSupport.h"
#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "support/Deployment.h"
#include "util/Messages.h"

namespace qorv {
namespace {

using test::Deployment;
using test::ExportReply;
using test::IsolatedType;
using test::IsoMessage;
using test::TestProviderPath;

std::string Message(const ExportReply& reply) { return GetParamValue(reply.params, "ResultMsgStr"); }

TEST(IsolatedProviderTest, CallsReachTheRealProviderWithTheirTextAndWindowAndItsAnswersComeBack) {
  Deployment d;
  d.WriteConfig({IsolatedType("Iso", TestProviderPath(), {{"Level", "9"}})});
  d.script().Answer("Decrypt", "0", "ResultMsgStr=wrong key;Extra=1");

  EXPECT_EQ(d.Encrypt("Iso", "alice", "in.txt", "out.qc", ";Keep=1;", 4242).ok, 1);
  const ExportReply refused = d.Decrypt("Iso", "alice", "out.qc", "back.txt", "");
  EXPECT_EQ(refused.ok, 0);
  EXPECT_EQ(Message(refused), "wrong key");

  const std::vector<test::ProviderCallRecord> calls = d.script().Calls();
  ASSERT_EQ(d.script().CallOrder(), "InitCrypt Encrypt FinalCrypt InitCrypt Decrypt FinalCrypt");
  // InitCrypt sees the window handle and the extension parameters as they are, its own
  // settings included.
  EXPECT_EQ(calls[0].handle, 4242u);
  EXPECT_EQ(GetParamValue(calls[0].text, "IsolatedLibPath"), TestProviderPath());
  EXPECT_EQ(GetParamValue(calls[0].text, "Level"), "9");
  EXPECT_EQ(GetParamValue(calls[1].text, "SourceFile"), "in.txt");
}

// A certificate-mode type (one pair) of the isolating provider.
test::CryptEntry IsolatedCaType(const std::string& name, const std::string& realProvider,
                                std::vector<std::pair<std::string, std::string>> settings = {}) {
  test::CryptEntry entry = IsolatedType(name, realProvider, std::move(settings));
  entry.mode = "1";
  entry.caIsMulti = "0";
  return entry;
}

TEST(IsolatedProviderTest, TheWholeBufferGoesBothWays) {
  Deployment d;
  // A request longer than the call buffer's 10,240 bytes arrives whole (the library hands
  // such a request a buffer that holds it), and a reply of 9,000 bytes comes back whole.
  const std::string big(20000, 'b');
  d.WriteConfig({IsolatedCaType("Iso", TestProviderPath(), {{"Big", big}})});
  const std::string made(9000, 'c');
  d.script().Answer("CreateCAFile", "1", "Cert=" + made);
  const ExportReply reply = d.CreateCAFile("Iso", "u", "");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_TRUE(GetParamValue(reply.params, "Cert") == made) << reply.params.size();
  ASSERT_EQ(d.script().CallOrder(), "InitCrypt CreateCAFile FinalCrypt");
  EXPECT_TRUE(GetParamValue(d.script().Calls()[0].text, "Big") == big) << d.script().Calls()[0].text.size();
}

TEST(IsolatedProviderTest, FunctionsTheRealProviderLacksAnswerAsIfItWereLoadedDirectly) {
  Deployment d;
  d.WriteConfig({IsolatedCaType("NoOptional", TestProviderPath("qorv_test_provider_without_optional")),
                 IsolatedType("NoEncrypt", TestProviderPath("qorv_test_provider_without_encrypt"))});
  const ExportReply validate = d.CreateCAFile("NoOptional", "u", "");
  EXPECT_EQ(validate.ok, 0);
  EXPECT_EQ(Message(validate), msg::ProviderNotSupported());
  const ExportReply encrypt = d.Encrypt("NoEncrypt", "u", "a", "b", "");
  EXPECT_EQ(encrypt.ok, 0);
  EXPECT_EQ(Message(encrypt), msg::ProviderRaised("Encrypt"));
}

// Each misdeed fails its own request with a message that says what happened; the host
// goes on, and the next request is served.
struct Misdeed {
  const char* action;
  const char* function;
};

class IsolatedMisdeedTest : public ::testing::TestWithParam<Misdeed> {};

TEST_P(IsolatedMisdeedTest, FailsItsRequestOnlyAndTheNextOneIsServed) {
  const Misdeed misdeed = GetParam();
  const std::string action = misdeed.action;
  const std::string provider = TestProviderPath();
  Deployment d;
  d.WriteConfig({IsolatedType("Iso", provider, {{"IsolatedTimeout", "3000"}})});
  d.script().Answer(misdeed.function, action);

  const ExportReply failed = d.Encrypt("Iso", "u", "a", "b", ";Keep=1;");
  EXPECT_EQ(failed.ok, 0);
  std::string expected = IsoMessage("调用加解密组件[", provider, "]发生异常。");
  if (action.rfind("exit:", 0) == 0) {
    expected = IsoMessage("加解密组件[", provider, "]在") + misdeed.function +
               IsoMessage("中结束了自己的进程（退出码", action.substr(5), "）。");
  } else if (action == "loop") {
    expected = IsoMessage("加解密组件[", provider, "]的") + misdeed.function +
               IsoMessage("超过了", "3000", "毫秒的时限，已被终止。");
  }
  if (action == "heap" && platform::kWindows) {
    // Wine's heap may take the spoiled block without noticing; the provider then
    // answers 0 with no message of its own.
    if (!Message(failed).empty()) {
      EXPECT_EQ(Message(failed), expected);
    }
  } else {
    EXPECT_EQ(Message(failed), expected);
  }

  d.script().Reset();
  EXPECT_EQ(d.Encrypt("Iso", "u", "a", "b", "").ok, 1);
  EXPECT_EQ(d.Decrypt("Iso", "u", "b", "c", "").ok, 1);
}

INSTANTIATE_TEST_SUITE_P(Misdeeds, IsolatedMisdeedTest,
                         ::testing::Values(Misdeed{"fault", "Encrypt"}, Misdeed{"abort", "Encrypt"},
                                           Misdeed{"exit:0", "Encrypt"}, Misdeed{"exit:7", "InitCrypt"},
                                           Misdeed{"overflow", "Encrypt"}, Misdeed{"loop", "Encrypt"},
                                           Misdeed{"loop", "InitCrypt"}, Misdeed{"overrun", "Encrypt"},
                                           Misdeed{"heap", "Encrypt"}, Misdeed{"throw", "Encrypt"}),
                         [](const ::testing::TestParamInfo<Misdeed>& info) {
                           std::string name = std::string(info.param.action) + "_in_" + info.param.function;
                           for (char& c : name) {
                             if (c == ':') c = '_';
                           }
                           return name;
                         });

TEST(IsolatedProviderTest, SettingsThatCannotWorkAreRefusedWithTheirReason) {
  Deployment d;
  const std::string missing = d.dir().File("no-such-provider");
  const std::string noHost = d.dir().File("no-such-host");
  d.WriteConfig({IsolatedType("Missing", missing),
                 {"NoLib", test::IsolatingProviderPath(), "0", "x", "", "", "", {}},
                 IsolatedType("BadTimeout", TestProviderPath(), {{"IsolatedTimeout", "12s"}}),
                 IsolatedType("NoHost", TestProviderPath(), {{"IsolatedHost", noHost}})});
  const struct {
    const char* type;
    std::string message;
  } cases[] = {
      {"Missing", IsoMessage("加载加解密组件[", missing, "]失败！")},
      {"NoLib", IsoMessage("隔离加解密组件的配置缺少IsolatedLibPath参数，不知道要运行哪个加解密组件。", "", "")},
      {"BadTimeout", IsoMessage("隔离加解密组件的IsolatedTimeout参数[", "12s", "]不是有效的毫秒数。")},
      {"NoHost", IsoMessage("无法启动加解密组件宿主程序[", noHost, "]。")},
  };
  for (const auto& c : cases) {
    const ExportReply reply = d.Encrypt(c.type, "u", "a", "b", "");
    EXPECT_EQ(reply.ok, 0) << c.type;
    EXPECT_EQ(Message(reply), c.message) << c.type;
  }
  // Nothing reached the real provider.
  EXPECT_EQ(d.script().CallOrder(), "");
}

// A helper that breaks the exchange: replies that are not replies, lengths beyond the
// buffer, a reply cut short, silence.
TEST(IsolatedProviderTest, AHelperThatBreaksTheExchangeIsEndedAndTheCallRefused) {
  Deployment d;
  const std::string rogue = test::RogueHostPath();
  // Under wine a pipe's other end closed by a process that goes on running does not end
  // the read waiting on it: the time limit ends that helper instead.
  const std::string kCutShortUnderWine = IsoMessage("加解密组件[", "cut-short", "]的") + "InitCrypt" +
                                         IsoMessage("超过了", "2000", "毫秒的时限，已被终止。");
  const struct {
    const char* mode;
    std::string message;
  } cases[] = {
      {"garbage", IsoMessage("加解密组件[", "garbage", "]的宿主进程应答越界，已被终止。")},
      {"oversize", IsoMessage("加解密组件[", "oversize", "]的宿主进程应答越界，已被终止。")},
      {"wide-result", IsoMessage("加解密组件[", "wide-result", "]的宿主进程应答越界，已被终止。")},
      {"cut-short", platform::kWindows ? kCutShortUnderWine
                                       : IsoMessage("加解密组件[", "cut-short", "]的宿主进程中断了通信，已被终止。")},
      {"silent", IsoMessage("加解密组件[", "silent", "]的") + "InitCrypt" +
                     IsoMessage("超过了", "2000", "毫秒的时限，已被终止。")},
  };
  std::vector<test::CryptEntry> types;
  for (const auto& c : cases) {
    // The rogue helper takes its behaviour from the provider path it is given.
    types.push_back(IsolatedType(c.mode, c.mode, {{"IsolatedHost", rogue}, {"IsolatedTimeout", "2000"}}));
  }
  d.WriteConfig(types);
  for (const auto& c : cases) {
    const ExportReply reply = d.Encrypt(c.mode, "u", "a", "b", "");
    EXPECT_EQ(reply.ok, 0) << c.mode;
    EXPECT_EQ(Message(reply), c.message) << c.mode;
  }
}

TEST(IsolatedProviderTest, ThreadsOfOneHostRunSequencesAtOnceEachWithItsOwnHelper) {
  Deployment d;
  d.WriteConfig({IsolatedType("Iso", TestProviderPath())});
  std::atomic<int> served{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) {
        const std::string source = "t" + std::to_string(t) + "-" + std::to_string(round);
        if (d.Encrypt("Iso", "u", source, source + ".qc", "").ok == 1) ++served;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(served.load(), 20);
  // Every sequence was whole: each Encrypt between an InitCrypt and a FinalCrypt of its own helper.
  int encrypts = 0;
  for (const test::ProviderCallRecord& call : d.script().Calls()) encrypts += call.function == "Encrypt" ? 1 : 0;
  EXPECT_EQ(encrypts, 20);
}

}  // namespace
}  // namespace qorv
