// The UTF-8 check that configuration files declared (or taken to be) UTF-8 go through
// before they are parsed, and the in-place removal of the encoding declaration.
#include <gtest/gtest.h>

#include <string>

#include "config/XmlEncoding.h"

namespace qorv {
namespace {

TEST(XmlEncodingTest, IsValidUtf8AcceptsWellFormedTextOnly) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain ASCII, longer than one eight-byte word", true},
      {"\xC2\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", true},  // 2, 3, 4 bytes, U+10FFFF
      {"\xED\x9F\xBF", true},                                             // U+D7FF, below the surrogates
      {"\x80", false},                                                    // a stray continuation byte
      {"\xC0\x80", false},                                                // overlong forms
      {"\xC1\xBF", false},
      {"\xE0\x9F\xBF", false},
      {"\xF0\x8F\xBF\xBF", false},
      {"\xED\xA0\x80", false},         // a surrogate
      {"\xF4\x90\x80\x80", false},     // beyond U+10FFFF
      {"\xF5\x80\x80\x80", false},     // no such lead byte
      {"abcdefgh\xE4\xB8", false},     // cut short at the end, after a whole word
      {"\xE4\x41\xAD", false},         // a continuation byte missing inside
      {std::string("a\0b", 3), true},  // NUL is a character; the parser refuses it
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
  }
}

TEST(XmlEncodingTest, TheEncodingDeclarationIsTakenOutInPlace) {
  const std::string bom = "\xEF\xBB\xBF";
  std::string text = bom + "<?xml version=\"1.0\" encoding=\"GBK\"?><a/>";
  EXPECT_EQ(WithoutEncodingDeclaration(text, bom.size()), "<?xml version=\"1.0\"?><a/>");
  std::string plain = "<?xml version=\"1.0\"?><a/>";
  EXPECT_EQ(WithoutEncodingDeclaration(plain, 0), "<?xml version=\"1.0\"?><a/>");
}

}  // namespace
}  // namespace qorv
