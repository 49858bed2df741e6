#include "util/TextLimit.h"

#include "platform/Platform.h"

namespace qorv {
namespace {

bool IsGbkLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool IsGbkTrail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }
bool IsUtf8Continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

size_t GbkCut(std::string_view text, size_t maxBytes) {
  size_t at = 0;
  while (at < text.size()) {
    const auto b = static_cast<unsigned char>(text[at]);
    const size_t length =
        IsGbkLead(b) && at + 1 < text.size() && IsGbkTrail(static_cast<unsigned char>(text[at + 1])) ? 2 : 1;
    if (at + length > maxBytes) break;
    at += length;
  }
  return at;
}

// A character starts at most three bytes before the cut; further back the bytes are no
// UTF-8, and the cut stays where it is.
size_t Utf8Cut(std::string_view text, size_t maxBytes) {
  size_t at = maxBytes;
  while (at > 0 && maxBytes - at < 3 && IsUtf8Continuation(static_cast<unsigned char>(text[at]))) --at;
  return IsUtf8Continuation(static_cast<unsigned char>(text[at])) ? maxBytes : at;
}

}  // namespace

std::string_view CutBetweenCharacters(std::string_view text, size_t maxBytes, platform::TextEncoding encoding) {
  if (text.size() <= maxBytes) return text;
  switch (encoding) {
    case platform::TextEncoding::Gbk:
      return text.substr(0, GbkCut(text, maxBytes));
    case platform::TextEncoding::Utf8:
      return text.substr(0, Utf8Cut(text, maxBytes));
    default:
      return text.substr(0, maxBytes);
  }
}

platform::TextEncoding MessageEncoding() {
  return platform::kWindows ? platform::TextEncoding::Gbk : platform::TextEncoding::Utf8;
}

}  // namespace qorv
