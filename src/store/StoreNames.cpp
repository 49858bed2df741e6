#include "store/StoreNames.h"

#include "util/TextCase.h"

namespace qorv {
namespace {

constexpr std::string_view kServerRecordPrefix = "Revenue";

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// The run of blanks at one end of text goes when it holds anything but spaces: a line
// break or a tab, with the indentation that comes with them.
std::string_view WithoutLayoutAtEnds(std::string_view text) {
  size_t begin = 0;
  bool layout = false;
  while (begin < text.size() && IsBlank(text[begin])) layout |= text[begin++] != ' ';
  if (layout) text.remove_prefix(begin);
  size_t end = text.size();
  layout = false;
  while (end > 0 && IsBlank(text[end - 1])) layout |= text[--end] != ' ';
  if (layout) text.remove_suffix(text.size() - end);
  return text;
}

}  // namespace

bool SameIniName(std::string_view a, std::string_view b) { return SameTextNoCase(TrimmedView(a), TrimmedView(b)); }

std::string ServerRecordSection(std::string_view revenueCode) {
  std::string section(kServerRecordPrefix);
  section += WithoutLayoutAtEnds(revenueCode);
  return TrimText(section);
}

bool IsReservedUserName(std::string_view user) {
  const std::string_view name = TrimmedView(user);
  return SameTextNoCase(name.substr(0, kServerRecordPrefix.size()), kServerRecordPrefix);
}

bool IsSafeStoreName(std::string_view name) {
  if (name.empty() || name.front() == ' ' || name.back() == ' ' || name.back() == '.') return false;
  for (size_t i = 0; i < name.size();) {
    const size_t n = HostCharLength(name, i);
    if (n == 1) {
      const auto c = static_cast<unsigned char>(name[i]);
      if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == '[' || c == ']') return false;
    }
    i += n;
  }
  return true;
}

}  // namespace qorv
