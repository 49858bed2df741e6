#include "support/ConfigXml.h"

namespace qorv::test {
namespace {

void AddElement(std::string& xml, std::string_view tag, const std::string& text) {
  if (text.empty()) return;
  xml += "<" + std::string(tag) + ">" + text + "</" + std::string(tag) + ">";
}

}  // namespace

std::string RootWith(std::string_view innerXml) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CRYPTS>\n" + std::string(innerXml) + "\n</CRYPTS>\n";
}

std::string ConfigXml(const std::vector<CryptEntry>& entries) {
  std::string inner;
  for (const CryptEntry& e : entries) {
    inner += "  <CRYPT>";
    AddElement(inner, "NAME", e.name);
    AddElement(inner, "LIBPATH", e.libPath);
    AddElement(inner, "MODE", e.mode);
    AddElement(inner, "DESC", e.desc);
    if (!e.caMode.empty() || !e.caIsMulti.empty() || !e.rootCertFile.empty()) {
      inner += "<CA>";
      AddElement(inner, "CAMODE", e.caMode);
      AddElement(inner, "CAISMULTI", e.caIsMulti);
      AddElement(inner, "ROOTCERTFILE", e.rootCertFile);
      inner += "</CA>";
    }
    if (!e.extParams.empty()) {
      inner += "<EXTENDS>";
      for (const auto& [name, value] : e.extParams) {
        inner += "<EXT-PARAM><PARAM-NAME>" + name + "</PARAM-NAME><PARAM-VALUE>" + value + "</PARAM-VALUE></EXT-PARAM>";
      }
      inner += "</EXTENDS>";
    }
    inner += "</CRYPT>\n";
  }
  return RootWith(inner);
}

std::string Utf16Bytes(std::string_view utf8, bool bigEndian) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    unsigned code = b;
    size_t length = 1;
    if (b >= 0xE0) {
      code = (b & 0x0Fu) << 12 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6 |
             (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
      length = 3;
    } else if (b >= 0xC0) {
      code = (b & 0x1Fu) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      length = 2;
    }
    const char high = static_cast<char>(code >> 8);
    const char low = static_cast<char>(code & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
    i += length;
  }
  return out;
}

}  // namespace qorv::test
