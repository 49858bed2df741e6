#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QorvCryptManage.h"
#include "interface/ParamString.h"
#include "platform/TextConversion.h"
#include "support/ConfigXml.h"
#include "support/TempDir.h"
#include "util/Messages.h"

namespace qorv {
namespace {

using test::RootWith;

struct ListCall {
  unsigned char ok = 0;
  std::string list;
  std::string params;
};

class GetCryptListTest : public ::testing::Test {
 protected:
  // Calls the export with buffers prefilled with markers, to see what it writes.
  ListCall Call(const std::string& configFile, const std::string& input = ";Old=1;") {
    std::vector<char> list(65536, '#');
    std::vector<char> params(65536, '#');
    std::copy(input.begin(), input.end(), params.begin());
    params[input.size()] = '\0';
    char* text = params.data();
    ListCall call;
    call.ok = GetCryptList(7, configFile.c_str(), list.data(), &text);
    call.list = list[0] == '#' ? "<untouched>" : std::string(list.data());
    call.params = text;
    return call;
  }
  ListCall CallWith(const std::string& xml) {
    path_ = dir_.Write("list.xml", xml);
    return Call(path_);
  }
  test::TempDir dir_;
  std::string path_;
};

TEST_F(GetCryptListTest, ListsEveryNamedEntryInDocumentOrder) {
  const std::string chinese = "\xE5\x8A\xA0\xE5\xAF\x86";  // 加密
  ListCall call = CallWith(RootWith(
      "<CRYPT><NAME> A </NAME><DESC>first</DESC></CRYPT>"
      "<CRYPT><DESC>nameless</DESC></CRYPT>"
      "<CRYPT><NAME>  </NAME></CRYPT>"
      "<CRYPT><NAME>B</NAME><DESC/></CRYPT>"
      "<CRYPT><NAME>" + chinese + "</NAME><DESC>x;y=z</DESC></CRYPT>"
      "<CRYPT><NAME>B</NAME><DESC>again</DESC></CRYPT>"));
  EXPECT_EQ(call.ok, 1);
  EXPECT_EQ(call.list, " A =first\r\nB=\r\n" + platform::Utf8ToHostText(chinese) + "=x;y=z\r\nB=again\r\n");
  EXPECT_EQ(call.params, "");  // overwritten with the empty text on success
}

TEST_F(GetCryptListTest, AnEmptyRootGivesAnEmptyList) {
  ListCall call = CallWith("<CRYPTS/>");
  EXPECT_EQ(call.ok, 1);
  EXPECT_EQ(call.list, "");
  EXPECT_EQ(call.params, "");
}

TEST_F(GetCryptListTest, FailuresLeaveTheListUnwrittenAndReplaceParams) {
  const std::string missing = dir_.File("none.xml");
  ListCall call = Call(missing);
  EXPECT_EQ(call.ok, 0);
  EXPECT_EQ(call.list, "<untouched>");
  EXPECT_EQ(call.params, SetParamValue("", "ResultMsgStr", msg::ConfigFileMissing(missing)));

  struct Case {
    std::string xml;
    std::string kind;
  };
  const Case cases[] = {
      {"<CRYPTS>", "parse"},
      {"", "parse"},
      {"<!DOCTYPE CRYPTS [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><CRYPTS/>", "parse"},
      {RootWith("<CRYPT><NAME>A</NAME><DESC>a</DESC></CRYPT><!-- trailing comment -->"), "incorrect"},
      {RootWith("<OTHER/>"), "incorrect"},
      {RootWith("<CRYPT><NAME>A</NAME></CRYPT>"), "read"},
      {RootWith("<CRYPT><NAME>A</NAME><DESC><b/></DESC></CRYPT>"), "read"},
      {RootWith("<CRYPT><NAME><b/></NAME><DESC>a</DESC></CRYPT>"), "read"},
  };
  for (const Case& c : cases) {
    call = CallWith(c.xml);
    const std::string message = c.kind == "parse"       ? msg::ListParseError(path_)
                                : c.kind == "incorrect" ? msg::ListConfigIncorrect(path_)
                                                        : msg::ConfigReadError(path_);
    EXPECT_EQ(call.ok, 0) << c.xml;
    EXPECT_EQ(call.list, "<untouched>") << c.xml;
    // The input is not read: the reply holds the message alone, escaped.
    EXPECT_EQ(call.params, "ResultMsgStr=" + EscapeParamText(message)) << c.xml;
  }
}

TEST_F(GetCryptListTest, NullArgumentsAreHandled) {
  // A null configuration path reads as the empty text: the missing-file message.
  std::vector<char> list(256, '#');
  std::vector<char> params(4096, '\0');
  char* text = params.data();
  EXPECT_EQ(GetCryptList(0, nullptr, list.data(), &text), 0);
  EXPECT_EQ(std::string(text), SetParamValue("", "ResultMsgStr", msg::ConfigFileMissing("")));

  // No reply buffer: refused, nothing written.
  EXPECT_EQ(GetCryptList(0, nullptr, list.data(), nullptr), 0);
  char* none = nullptr;
  EXPECT_EQ(GetCryptList(0, nullptr, list.data(), &none), 0);
  EXPECT_EQ(list[0], '#');

  // No list buffer: refused with a message.
  path_ = dir_.Write("ok.xml", "<CRYPTS/>");
  EXPECT_EQ(GetCryptList(0, path_.c_str(), nullptr, &text), 0);
  EXPECT_EQ(GetParamValue(text, "ResultMsgStr"), msg::ListBufferMissing());
}

TEST(MessageTextTest, MessagesAreGbkOnWindowsAndUtf8Elsewhere) {
  const std::string message = msg::ConfigFileMissing("c.xml");
  // 加解密配置文件[c.xml]不存在！
  const std::string gbk = "\xBC\xD3\xBD\xE2\xC3\xDC\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE[c.xml]\xB2\xBB\xB4\xE6\xD4\xDA\xA3\xA1";
  const std::string utf8 = "加解密配置文件[c.xml]不存在！";
  EXPECT_TRUE(message == gbk || message == utf8);
  EXPECT_EQ(message == gbk, platform::Utf8ToMessageText("中") == "\xD6\xD0");
}

}  // namespace
}  // namespace qorv
