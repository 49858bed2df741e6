#include <gtest/gtest.h>

#include <string>

#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "util/TextCase.h"

namespace qorv {
namespace {

struct ReadCase {
  std::string text, name, expected;
};

TEST(ParamStringTest, GetParamValueReadsTheFirstEntryByName) {
  const ReadCase cases[] = {
      {";User=abc;Type=1;", "user", "abc"},             // names ignore ASCII case
      {"User=abc", "USER", "abc"},                      // no leading separator needed
      {";A=1;A=2;", "A", "1"},                          // first occurrence wins
      {";A=;B=2;", "A", ""},                            // empty reads as absent
      {";B=2;", "A", ""},                               // absent
      {";A;B=2;", "A", ""},                             // a bare name has no value
      {";A=1 ;", "A", "1 "},                            // values are not trimmed
      {"  ;A=1;\r\n", "A", "1"},                        // the whole text is trimmed
      {";Path=C:\\x&eq%y&lim%z;", "Path", "C:\\x=y;z"},  // escapes turned back
      {";V=&EQ%;", "V", "&EQ%"},                        // escapes are case-sensitive
      {";A=1;;B= 2 ", "B", " 2"},                       // ...but not the next read's trimming
      {";AB=1;B=2;", "B", "2"},                         // a name inside another is not matched
      {";X=1;", "x=y", ""},
      {";x&eq%y=5;", "x=y", "5"},                        // names are escaped before the search
      {";\xB2\xE2=1;", "\xB2\xE2", "1"},                 // double-byte names match exactly
      {";\xB2\xE2=1;", "\xB2\xC2", ""},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(GetParamValue(c.text, c.name), c.expected) << "text [" << c.text << "] name [" << c.name << "]";
  }
}

struct WriteCase {
  std::string text, name, value, expected;
};

TEST(ParamStringTest, SetParamValueReshapesTheTextAsSpecified) {
  const WriteCase cases[] = {
      {"", "User", "abc", "User=abc"},
      {";A=1;B=2;", "A", "9", "A=9;B=2;"},
      {";A=1;B=2;", "B", "9", ";A=1;B=9"},
      {";A=1;", "B", "2", ";A=1;;B=2"},
      {";A=1;", "a", "2", "a=2"},
      {";A;B=2;", "A", "1", "A=1;B=2;"},
      {";AB=1;", "A", "2", ";AB=1;;A=2"},
      {"", "P", "x=y;z", "P=x&eq%y&lim%z"},
      {";A=1;", "", "v", ";A=1;"},
      {"  ;A=1;  ", "", "v", ";A=1;"},  // trimmed even when nothing is written
      {";A=1;B=2;A=3;", "A", "x", "A=x;B=2;A=3;"},  // only the first duplicate changes
      {"A=1;B", "B", "2", "A=1;B=2"},               // a bare name at the very end
      {";A=1;C=3;", "B", "", ";A=1;C=3;;B="},
      {";A=1;", "B", " 2 ", ";A=1;;B= 2 "},  // blanks at the end survive this write...
  };
  for (const WriteCase& c : cases) {
    EXPECT_EQ(SetParamValue(c.text, c.name, c.value), c.expected)
        << "text [" << c.text << "] name [" << c.name << "] value [" << c.value << "]";
  }
}

TEST(ParamStringTest, AnyNameAndValueReadBackAfterSetting) {
  const std::string names[] = {"K", "k=1", "a;b", "&eq%", "\xB2\xE2\xCA\xD4"};
  const std::string values[] = {"v", "x=y;z", " spaced ", "&lim%", "\xD6\xD0;\xCE\xC4"};
  for (const std::string& name : names) {
    for (const std::string& value : values) {
      // Replaced in the middle, since the ends of the whole text are trimmed.
      const std::string text = SetParamValue(";Other=1;" + EscapeParamText(name) + "=old;Z=1;", name, value);
      const bool hasEscapeText = value.find("&lim%") != std::string::npos;
      EXPECT_EQ(GetParamValue(text, name), hasEscapeText ? ";" : value) << text;
      EXPECT_EQ(GetParamValue(text, "Other"), "1") << text;
    }
  }
}

TEST(ParamStringTest, EscapingRoundTripsExceptForEscapeTextsThemselves) {
  EXPECT_EQ(EscapeParamText("a=b;c"), "a&eq%b&lim%c");
  EXPECT_EQ(EscapeParamText(""), "");
  EXPECT_EQ(EscapeParamText("&%"), "&%");
  EXPECT_EQ(UnescapeParamText("a&eq%b&lim%c"), "a=b;c");
  EXPECT_EQ(UnescapeParamText("&EQ%&LIM%"), "&EQ%&LIM%");
  // A text that already holds an escape reads back with the character in its place.
  EXPECT_EQ(UnescapeParamText(EscapeParamText("x&eq%y")), "x=y");
  // Escapes next to stray '&' and inside one another's letters: each is replaced where
  // it stands, and what a replacement leaves behind is not read again.
  EXPECT_EQ(UnescapeParamText("&&eq%lim%"), "&=lim%");
  EXPECT_EQ(UnescapeParamText("&l&lim%eq%"), "&l;eq%");
  EXPECT_EQ(UnescapeParamText("&eq%&eq%&lim%;&"), "==;;&");
  EXPECT_EQ(EscapeParamText("==;;&"), "&eq%&eq%&lim%&lim%&");
}

TEST(ParamStringTest, ReplaceAllTextScansLeftToRightWithoutOverlap) {
  EXPECT_EQ(ReplaceAllText("aaaa", "aa", "b"), "bb");
  EXPECT_EQ(ReplaceAllText("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAllText("", "a", "b"), "");
  EXPECT_EQ(ReplaceAllText("abc", "abcd", "x"), "abc");
  EXPECT_EQ(ReplaceAllText("a=b=c", "=", "&eq%"), "a&eq%b&eq%c");
  EXPECT_EQ(ReplaceAllText("xAbx", "ab", "-"), "xAbx");                   // bytes match exactly
  EXPECT_EQ(ReplaceAllText("aba", "a", "aa"), "aabaa");                   // inserted text is not rescanned
  EXPECT_EQ(ReplaceAllText("&lim%&lim%", "&lim%", ";"), ";;");
  EXPECT_EQ(ReplaceAllText("abcabd", "abd", "X"), "abcX");                 // a skip past a near miss
  const std::string big(100000, '=');
  EXPECT_EQ(ReplaceAllText(big, "=", "&eq%").size(), 400000u);
}

TEST(ParamStringTest, PosNoCaseFoldsAsciiLettersOnly) {
  EXPECT_EQ(PosNoCase("b", "abcB", 1), 2u);
  EXPECT_EQ(PosNoCase("b", "abcB", 3), 4u);
  EXPECT_EQ(PosNoCase("B", "abc", 3), 0u);
  EXPECT_EQ(PosNoCase("x", "", 1), 0u);
  EXPECT_EQ(PosNoCase("\xE4", "\xC4", 1), 0u);  // bytes above 0x7F never fold
}

TEST(ParamStringTest, DoubleByteNamesMatchWholeAndExactlyOnWindows) {
  // GBK characters whose trail bytes have the codes of ASCII letters: 丄 81 41 and 乤
  // 81 61, 華 C8 41 and 萢 C8 61, 說 D5 66 and 誇 D5 46. On Windows each pair is two
  // names; elsewhere the bytes are no GBK and fold like any other.
  struct Case {
    std::string name, other;
  };
  const Case cases[] = {{"\x81\x41", "\x81\x61"}, {"\xC8\x41", "\xC8\x61"}, {"\xD5\x66x", "\xD5\x46X"}};
  for (const Case& c : cases) {
    const std::string text = SetParamValue(SetParamValue("", c.name, "v1"), c.other, "v2");
    EXPECT_EQ(GetParamValue(text, c.name), platform::kWindows ? "v1" : "v2") << text;
    EXPECT_EQ(GetParamValue(text, c.other), "v2") << text;
    EXPECT_EQ(text.size(), platform::kWindows ? 2 * (c.name.size() + 3) + 1 : c.other.size() + 3) << text;
    EXPECT_EQ(SameTextNoCase(c.name, c.other), !platform::kWindows);
  }
  // A trail byte never starts a match, not even of a letter it has the code of.
  EXPECT_EQ(PosNoCase("A",
                      "\x81\x41"
                      "a",
                      1),
            platform::kWindows ? 3u : 2u);
  EXPECT_EQ(PosNoCase("[",
                      "\x81["
                      "[",
                      1),
            platform::kWindows ? 3u : 2u);
  // ASCII around double-byte characters still folds.
  EXPECT_EQ(GetParamValue("key\x81\x41=1", "KEY\x81\x41"), "1");
  EXPECT_EQ(PosNoCase("x", "\x81\x41X", 1), 3u);
}

}  // namespace
}  // namespace qorv
