#include "util/TextCase.h"

namespace qorv {

bool SameTextNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
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
