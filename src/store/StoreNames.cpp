#include "store/StoreNames.h"

#include "platform/Platform.h"
#include "util/TextCase.h"

namespace qorv {
namespace {

bool IsTrailByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// Length of the character that starts at text[i]: 2 for a complete double-byte pair.
size_t CharLength(std::string_view text, size_t i) {
  return IsLeadByte(text[i]) && i + 1 < text.size() && IsTrailByte(text[i + 1]) ? 2 : 1;
}

std::string_view TrimView(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool IsLeadByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return platform::kWindows && b >= 0x81 && b <= 0xFE;
}

bool SameIniName(std::string_view a, std::string_view b) {
  a = TrimView(a);
  b = TrimView(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    const size_t n = CharLength(a, i);
    if (n == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
      return false;
    }
    i += n;
  }
  return true;
}

bool IsSafeStoreName(std::string_view name) {
  if (name.empty() || name.front() == ' ' || name.back() == ' ' || name.back() == '.') return false;
  for (size_t i = 0; i < name.size();) {
    const size_t n = CharLength(name, i);
    if (n == 1) {
      const auto c = static_cast<unsigned char>(name[i]);
      if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == '[' || c == ']') return false;
    }
    i += n;
  }
  return true;
}

}  // namespace qorv
