// The provider's own reader and writer of parameter strings.
#include <gtest/gtest.h>

#include "ParamText.h"

namespace qorv_ref {
namespace {

TEST(ParamTextTest, ReadsTheFirstEntryIgnoringNameCase) {
  struct Case {
    const char* text;
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {";User=abc;Type=1;", "user", "abc"},
      {"User=abc", "USER", "abc"},              // no leading separator
      {";A=1;A=2;", "A", "1"},                  // first occurrence
      {";A=;B=2;", "A", ""},                    // empty reads as absent
      {";AB=1;", "A", ""},                      // a longer name is another name
      {";A;B=2;", "A", ""},                     // a bare name has no value
      {";A=1 ;", "A", "1 "},                    // values keep their blanks
      {"  ;A=1;\r\n", "A", "1"},                // the whole text is trimmed
      {";Path=C:\\x&eq%y&lim%z;", "Path", "C:\\x=y;z"},
      {";V=&EQ%;", "V", "&EQ%"},                // escapes are case-sensitive
      {";K&eq%1=v;", "K=1", "v"},               // names are escaped before the search
  };
  for (const Case& c : cases) EXPECT_EQ(GetParam(c.text, c.name), c.value) << c.text << " / " << c.name;
}

TEST(ParamTextTest, WritesInPlaceOrAppends) {
  struct Case {
    const char* text;
    const char* name;
    const char* value;
    const char* result;
  };
  const Case cases[] = {
      {"", "User", "abc", "User=abc"},
      {";A=1;B=2;", "A", "9", "A=9;B=2;"},
      {";A=1;B=2;", "B", "9", ";A=1;B=9"},
      {";A=1;", "B", "2", ";A=1;;B=2"},
      {";A=1;", "a", "2", "a=2"},
      {";A;B=2;", "A", "1", "A=1;B=2;"},
      {";AB=1;", "A", "2", ";AB=1;;A=2"},
      {"", "P", "x=y;z", "P=x&eq%y&lim%z"},
      {";A=1;", "", "v", ";A=1;"},
  };
  for (const Case& c : cases) EXPECT_EQ(SetParam(c.text, c.name, c.value), c.result) << c.text << " / " << c.name;
}

TEST(ParamTextTest, ValuesSurviveAWriteAndReadBack) {
  for (const char* value : {"a=b;c", "中文;密码=1", " leading blank"}) {
    EXPECT_EQ(GetParam(SetParam(";X=1;", "Pwd", value), "pwd"), value);
  }
}

}  // namespace
}  // namespace qorv_ref
