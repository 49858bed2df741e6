#include "config/ConfigDocument.h"

#include "config/XmlEncoding.h"
#include "platform/FileSystem.h"
#include "platform/TextConversion.h"

namespace qorv {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Looks through the prolog (declaration, processing instructions, comments) for a
// document type declaration. Some parsers cannot be told to refuse one, so it is
// refused here, before any parser sees the text.
bool HasDocumentTypeDeclaration(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    if (IsBlank(text[at])) {
      ++at;
    } else if (text.compare(at, 2, "<?") == 0) {
      const size_t end = text.find("?>", at + 2);
      if (end == std::string_view::npos) return false;
      at = end + 2;
    } else if (text.compare(at, 4, "<!--") == 0) {
      const size_t end = text.find("-->", at + 4);
      if (end == std::string_view::npos) return false;
      at = end + 3;
    } else {
      return text.compare(at, 9, "<!DOCTYPE") == 0;
    }
  }
  return false;
}

}  // namespace

std::string LoadFileText(const std::string& fileName) {
  std::string bytes;
  platform::ReadWholeFile(fileName, bytes);
  return bytes;
}

bool ParseConfigDocument(std::string bytes, platform::XmlNode& root) {
  DetectedEncoding detected;
  if (!DetectXmlEncoding(bytes, detected)) return false;
  std::string decoded;
  std::string* utf8 = &bytes;
  size_t start = detected.bomLength;
  if (detected.encoding == platform::TextEncoding::Utf8) {
    // Already UTF-8: checked where it lies rather than copied through a converter.
    if (!IsValidUtf8(std::string_view(bytes).substr(start))) return false;
  } else {
    if (!platform::DecodeToUtf8(std::string_view(bytes).substr(start), detected.encoding, decoded)) return false;
    utf8 = &decoded;
    start = 0;
  }
  if (HasDocumentTypeDeclaration(std::string_view(*utf8).substr(start))) return false;
  return platform::ParseXmlDocument(WithoutEncodingDeclaration(*utf8, start), root);
}

}  // namespace qorv
