#include <gtest/gtest.h>

#include <string>

#include "util/Messages.h"
#include "util/TextLimit.h"

namespace qorv {
namespace {

using platform::TextEncoding;

TEST(TextLimitTest, CutsBeforeACharacterThatWouldNotFitWhole) {
  struct Case {
    std::string text;
    size_t maxBytes;
    TextEncoding encoding;
    std::string expected;
  };
  const std::string cuo = "\xE9\x94\x99";  // U+9519 in UTF-8
  const std::string gbk = "\xB4\xED";      // the same character in GBK
  const Case cases[] = {
      {"abc", 3, TextEncoding::Utf8, "abc"},
      {"abcd", 3, TextEncoding::Utf8, "abc"},
      {"a" + cuo + cuo, 4, TextEncoding::Utf8, "a" + cuo},
      {"a" + cuo + cuo, 5, TextEncoding::Utf8, "a" + cuo},
      {"a" + cuo + cuo, 6, TextEncoding::Utf8, "a" + cuo},
      {"a" + cuo + cuo, 7, TextEncoding::Utf8, "a" + cuo + cuo},
      {"\xF0\x9F\x98\x80x", 3, TextEncoding::Utf8, ""},
      {"\x80\x80\x80\x80\x80", 4, TextEncoding::Utf8, "\x80\x80\x80\x80"},  // no UTF-8: cut at the byte
      {"a" + gbk + gbk, 2, TextEncoding::Gbk, "a"},
      {"a" + gbk + gbk, 3, TextEncoding::Gbk, "a" + gbk},
      {"a" + gbk + gbk, 4, TextEncoding::Gbk, "a" + gbk},
      {gbk + "\xB4 ", 3, TextEncoding::Gbk, gbk + "\xB4"},  // a lead byte without its trail stands alone
      {gbk + "\xB4"
             "a",
       3, TextEncoding::Gbk, gbk},  // 'a' trails a lead byte
      {"\xB4\x7F\xB4\xED", 3, TextEncoding::Gbk, "\xB4\x7F"},
      {"a" + gbk, 2, TextEncoding::Latin1, "a\xB4"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutBetweenCharacters(c.text, c.maxBytes, c.encoding), c.expected) << c.maxBytes;
  }
}

// The public header promises: the library's own messages take at most 256 bytes
// besides what they quote.
TEST(TextLimitTest, TheLibrarysMessagesStayWithinTheirDocumentedBound) {
  const std::string messages[] = {
      msg::ConfigFileMissing(""),
      msg::ConfigReadError(""),
      msg::ConfigIncorrect(),
      msg::ConfigNameEmpty(),
      msg::CryptTypeNotConfigured("", ""),
      msg::ListParseError(""),
      msg::ListConfigIncorrect(""),
      msg::ListBufferMissing(),
      msg::CertificateModeRequired(),
      msg::CertificateFilesRequired(),
      msg::PasswordModeRequired(),
      msg::ServerCertificateMissing(),
      msg::UserCertificateMissing(),
      msg::UnsafeStoreName(""),
      msg::UserCertificateFilesNotFound(),
      msg::UserCertificateFilesSaveFailed(),
      msg::UserCertificatePasswordsSaveFailed(),
      msg::ServerCertificateFilesNotFound(),
      msg::ServerCertificateFilesSaveFailed(),
      msg::EncCertificateNotFound(),
      msg::EncCertificateCopyFailed(),
      msg::SignCertificateNotFound(),
      msg::SignCertificateCopyFailed(),
      msg::PasswordChangeCertificateMissing(),
      msg::NewKeyPasswordsNotRecorded(),
      msg::ValidationCertificateMissing(),
      msg::UserPasswordSaveFailed(),
      msg::ProviderLoadFailed(""),
      msg::ProviderRaised("ChangeCAPassword"),
      msg::ProviderNotSupported(),
      msg::UnexpectedError(),
  };
  for (const std::string& message : messages) EXPECT_LE(message.size(), 256u) << message;
}

}  // namespace
}  // namespace qorv
