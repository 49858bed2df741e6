#include "config/XmlEncoding.h"

#include <array>
#include <string>
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

// Where encoding="..." stands in a leading XML declaration.
struct EncodingAttribute {
  size_t begin = 0;  // the blank before "encoding"
  size_t end = 0;    // just past the closing quote
  std::string_view value;
  bool found = false;
};

EncodingAttribute FindEncodingAttribute(std::string_view text) {
  EncodingAttribute attribute;
  if (!StartsWith(text, "<?xml")) return attribute;
  const std::string_view declaration = text.substr(0, text.find("?>"));
  size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return attribute;
  size_t begin = at;
  auto blank = [&](size_t i) {
    return declaration[i] == ' ' || declaration[i] == '\t' || declaration[i] == '\r' || declaration[i] == '\n';
  };
  while (begin > 0 && blank(begin - 1)) --begin;
  at += 8;
  while (at < declaration.size() && blank(at)) ++at;
  if (at >= declaration.size() || declaration[at] != '=') return attribute;
  ++at;
  while (at < declaration.size() && blank(at)) ++at;
  if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return attribute;
  const char quote = declaration[at++];
  const size_t close = declaration.find(quote, at);
  if (close == std::string_view::npos) return attribute;
  attribute.begin = begin;
  attribute.end = close + 1;
  attribute.value = declaration.substr(at, close - at);
  attribute.found = true;
  return attribute;
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
  const EncodingAttribute attribute = FindEncodingAttribute(bytes);
  return !attribute.found || EncodingFromName(attribute.value, detected.encoding);
}

std::string WithoutEncodingDeclaration(std::string_view text) {
  const EncodingAttribute attribute = FindEncodingAttribute(text);
  if (!attribute.found) return std::string(text);
  return std::string(text.substr(0, attribute.begin)) + std::string(text.substr(attribute.end));
}

}  // namespace qorv
