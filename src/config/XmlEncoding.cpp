#include "config/XmlEncoding.h"

#include <array>
#include <utility>

#include "util/TextCase.h"

namespace qorv {
namespace {

using platform::TextEncoding;

bool StartsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

// The encoding names a declaration may use, the same on every target.
bool EncodingFromName(std::string_view name, TextEncoding& encoding) {
  static const std::array<std::pair<std::string_view, TextEncoding>, 16> kNames{{
      {"UTF-8", TextEncoding::Utf8},
      {"UTF8", TextEncoding::Utf8},
      {"GBK", TextEncoding::Gbk},
      {"GB2312", TextEncoding::Gbk},
      {"GB_2312-80", TextEncoding::Gbk},
      {"EUC-CN", TextEncoding::Gbk},
      {"CP936", TextEncoding::Gbk},
      {"X-GBK", TextEncoding::Gbk},
      {"WINDOWS-936", TextEncoding::Gbk},
      {"GB18030", TextEncoding::Gb18030},
      {"ISO-8859-1", TextEncoding::Latin1},
      {"LATIN1", TextEncoding::Latin1},
      {"US-ASCII", TextEncoding::Ascii},
      {"ASCII", TextEncoding::Ascii},
      {"WINDOWS-1252", TextEncoding::Windows1252},
      {"CP1252", TextEncoding::Windows1252},
  }};
  for (const auto& [known, value] : kNames) {
    if (SameTextNoCase(name, known)) {
      encoding = value;
      return true;
    }
  }
  return false;
}

// The value of encoding="..." in a leading XML declaration; empty when there is none.
std::string_view DeclaredEncoding(std::string_view bytes) {
  if (!StartsWith(bytes, "<?xml")) return {};
  const size_t end = bytes.find("?>");
  const std::string_view declaration = bytes.substr(0, end);
  size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return {};
  at += 8;
  auto skipBlanks = [&] {
    while (at < declaration.size() && (declaration[at] == ' ' || declaration[at] == '\t' ||
                                        declaration[at] == '\r' || declaration[at] == '\n'))
      ++at;
  };
  skipBlanks();
  if (at >= declaration.size() || declaration[at] != '=') return {};
  ++at;
  skipBlanks();
  if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return {};
  const char quote = declaration[at++];
  const size_t close = declaration.find(quote, at);
  if (close == std::string_view::npos) return {};
  return declaration.substr(at, close - at);
}

}  // namespace

bool DetectXmlEncoding(std::string_view bytes, DetectedEncoding& detected) {
  detected = DetectedEncoding();
  if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    detected.bomLength = 3;
    return true;
  }
  if (StartsWith(bytes, "\xFF\xFE")) {
    detected = {TextEncoding::Utf16LE, 2};
    return true;
  }
  if (StartsWith(bytes, "\xFE\xFF")) {
    detected = {TextEncoding::Utf16BE, 2};
    return true;
  }
  if (StartsWith(bytes, std::string_view("<\0?\0", 4))) {
    detected.encoding = TextEncoding::Utf16LE;
    return true;
  }
  if (StartsWith(bytes, std::string_view("\0<\0?", 4))) {
    detected.encoding = TextEncoding::Utf16BE;
    return true;
  }
  const std::string_view name = DeclaredEncoding(bytes);
  return name.empty() || EncodingFromName(name, detected.encoding);
}

}  // namespace qorv
