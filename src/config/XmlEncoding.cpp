#include "config/XmlEncoding.h"

#include <array>
#include <cstdint>
#include <cstring>
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

std::string_view WithoutEncodingDeclaration(std::string& text, size_t from) {
  const std::string_view view = std::string_view(text).substr(from);
  const EncodingAttribute attribute = FindEncodingAttribute(view);
  if (!attribute.found) return view;
  const size_t removed = attribute.end - attribute.begin;
  std::memmove(text.data() + from + removed, text.data() + from, attribute.begin);
  return std::string_view(text).substr(from + removed);
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (p < end) {
    // ASCII, eight bytes at a time.
    if (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, sizeof word);
      if ((word & 0x8080808080808080ULL) == 0) {
        p += 8;
        continue;
      }
    }
    const unsigned char lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    size_t length;
    unsigned char low = 0x80;  // range of the first continuation byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
      return false;
    }
    if (static_cast<size_t>(end - p) < length || p[1] < low || p[1] > high) return false;
    for (size_t i = 2; i < length; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
    }
    p += length;
  }
  return true;
}

}  // namespace qorv
