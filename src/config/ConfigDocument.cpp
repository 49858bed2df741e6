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

bool ParseConfigDocument(std::string_view bytes, platform::XmlNode& root) {
  DetectedEncoding detected;
  if (!DetectXmlEncoding(bytes, detected)) return false;
  std::string utf8;
  if (!platform::DecodeToUtf8(bytes.substr(detected.bomLength), detected.encoding, utf8)) return false;
  if (HasDocumentTypeDeclaration(utf8)) return false;
  return platform::ParseXmlDocument(WithoutEncodingDeclaration(utf8), root);
}

}  // namespace qorv
