#include "util/TextCase.h"

#include "platform/Platform.h"

namespace qorv {
namespace {

bool IsTrailByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

}  // namespace

bool HostTextIsDoubleByte() { return platform::kWindows; }

bool IsLeadByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return platform::kWindows && b >= 0x81 && b <= 0xFE;
}

size_t HostCharLength(std::string_view text, size_t i) {
  return IsLeadByte(text[i]) && i + 1 < text.size() && IsTrailByte(text[i + 1]) ? 2 : 1;
}

bool SameTextNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    const size_t n = HostCharLength(a, i);
    if (n == 2) {
      // Equal lead bytes keep both texts' characters aligned.
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
      return false;
    }
    i += n;
  }
  return true;
}

std::string_view TrimmedView(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string TrimText(std::string_view text) { return std::string(TrimmedView(text)); }

}  // namespace qorv
