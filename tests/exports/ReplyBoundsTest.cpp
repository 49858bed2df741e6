// What a provider's output can add to a reply, through the built library: no more than
// the call buffer from any pointer it hands back, and its message cut to its bound.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QorvCryptProvider.h"
#include "interface/ParamString.h"
#include "platform/TextConversion.h"
#include "support/Deployment.h"

namespace qorv {
namespace {

using test::Deployment;
using test::ExportReply;

// The reply in a buffer far larger than any bound, so that an unbounded one shows as
// too long instead of overrunning the buffer.
template <typename Call>
ExportReply CallWithRoomy(const std::string& params, Call call) {
  std::vector<char> buffer(params.begin(), params.end());
  buffer.resize(params.size() + 1024 * 1024, '\0');
  char* text = buffer.data();
  ExportReply reply;
  reply.ok = call(&text);
  reply.params = text;
  return reply;
}

bool IsAll(const std::string& text, char c) { return text.find_first_not_of(c) == std::string::npos; }

class ReplyBoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d_.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}}, {"Usb", "", "1", "usb", "0", "", "", {}}});
  }
  ExportReply GetCertFile(const std::string& params) {
    return CallWithRoomy(params,
                         [&](char** text) { return d_.getCertFile(0, d_.configPath().c_str(), "Usb", "u", text); });
  }
  ExportReply Encrypt(const std::string& params) {
    return CallWithRoomy(
        params, [&](char** text) { return d_.encrypt(0, d_.configPath().c_str(), "Plain", "u", "a", "b", text); });
  }

  Deployment d_;
};

// In USB-key mode the provider's whole output is the reply: a text of its own of 200 KB
// comes back cut to the call buffer, the contract's size or the request's when longer.
TEST_F(ReplyBoundsTest, APointerTheProviderHandsBackIsReadWithinTheCallBuffer) {
  d_.script().Answer("GetUSBCertFile", "foreign:200000");
  ExportReply reply = GetCertFile("A=1");
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params.size(), size_t{QORVCRYPT_PROVIDER_BUFFER_SIZE});
  EXPECT_TRUE(IsAll(reply.params, 'x'));

  const std::string longRequest = "Big=" + std::string(30000, 'b');
  reply = GetCertFile(longRequest);
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(reply.params.size(), longRequest.size() + 1);
  EXPECT_TRUE(IsAll(reply.params, 'x'));
}

TEST_F(ReplyBoundsTest, AProvidersMessageIsCutToItsBoundBeforeItIsEscaped) {
  // 10,000 '=' would come back as 40,000 bytes once escaped.
  d_.script().Answer("Encrypt", "0", "ResultMsgStr=" + std::string(10000, '='));
  const ExportReply reply = Encrypt(";Keep=1;");
  EXPECT_EQ(reply.ok, 0);
  EXPECT_LE(reply.params.size(), 8 + 14 + 5 * QORVCRYPT_PROVIDER_MESSAGE_MAX);
  EXPECT_TRUE(reply.params ==
              ";Keep=1;;ResultMsgStr=" + EscapeParamText(std::string(QORVCRYPT_PROVIDER_MESSAGE_MAX, '=')));
}

// The cut falls between characters of the target's message encoding: GBK on Windows,
// UTF-8 elsewhere. One ASCII letter first puts the bound inside a character.
TEST_F(ReplyBoundsTest, AProvidersMessageIsCutBetweenCharacters) {
  const std::string character = platform::Utf8ToMessageText("错");
  ASSERT_GE(character.size(), 2u);
  std::string message = "a";
  while (message.size() < 3000) message += character;
  d_.script().Answer("Encrypt", "0", "ResultMsgStr=" + message);
  const ExportReply reply = Encrypt("");
  EXPECT_EQ(reply.ok, 0);
  const std::string received = GetParamValue(reply.params, "ResultMsgStr");
  EXPECT_LE(received.size(), size_t{QORVCRYPT_PROVIDER_MESSAGE_MAX});
  EXPECT_GT(received.size(), QORVCRYPT_PROVIDER_MESSAGE_MAX - character.size());
  EXPECT_TRUE(received == message.substr(0, received.size()));
  EXPECT_EQ((received.size() - 1) % character.size(), 0u) << "cut inside a character";

  // A message within the bound comes through whole.
  Deployment whole;
  whole.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}}});
  const std::string fits = message.substr(0, 1 + 100 * character.size());
  whole.script().Answer("Encrypt", "0", "ResultMsgStr=" + fits);
  EXPECT_EQ(GetParamValue(whole.Encrypt("Plain", "u", "a", "b", "").params, "ResultMsgStr"), fits);
}

// The bounds the public header gives, at their worst: values made of the bytes that
// escaping makes longest.
TEST_F(ReplyBoundsTest, RepliesStayWithinTheBoundsThePublicHeaderGives) {
  Deployment pwd;
  pwd.WriteConfig({{"Pwd", "", "2", "p", "", "", "", {}}});
  // The longest password the store can read back whole.
  const std::string request = "PassWord=" + std::string(958, '=');
  const ExportReply stored = pwd.SetCryptParams("Pwd", "u", request);
  EXPECT_EQ(stored.ok, 1);
  EXPECT_LE(stored.params.size(), 4 * request.size() + 10);

  // A library message quoting a long ConfigFile argument.
  const std::string config = d_.dir().File(std::string(3000, ';'));
  std::vector<char> buffer(1024 * 1024, '\0');
  char* text = buffer.data();
  EXPECT_EQ(d_.getCryptInfo(0, config.c_str(), "Plain", "u", &text), 0);
  EXPECT_LE(std::string(text).size(), 14 + 5 * (256 + config.size() + 5 + 1));

  // A listing in a code page whose bytes become three in UTF-8.
  const std::string listed = d_.dir().Write(
      "cp1252.xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><CRYPTS><CRYPT><NAME>T</NAME><DESC>" +
                        std::string(2000, '\x80') + "</DESC></CRYPT></CRYPTS>");
  std::vector<char> list(3 * 4096, '\0');
  text = buffer.data();
  EXPECT_EQ(d_.Find<QorvGetCryptListFn>("GetCryptList")(0, listed.c_str(), list.data(), &text), 1) << text;
  EXPECT_GT(std::string(list.data()).size(), 2000u);
  EXPECT_LE(std::string(list.data()).size(), 3 * test::ReadFileBytes(listed).size());
}

}  // namespace
}  // namespace qorv
