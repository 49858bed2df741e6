#include "ParamText.h"

namespace qorv_ref {
namespace {

std::string ReplaceAll(std::string_view source, std::string_view find, std::string_view with) {
  std::string out;
  out.reserve(source.size());
  size_t from = 0;
  for (size_t at = source.find(find); at != std::string_view::npos; at = source.find(find, from)) {
    out.append(source.substr(from, at - from)).append(with);
    from = at + find.size();
  }
  out.append(source.substr(from));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
  return s;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Position of pattern in text at or after start, ASCII letters folded; npos if none.
size_t FindNoCase(std::string_view text, std::string_view pattern, size_t start) {
  if (pattern.size() > text.size()) return std::string_view::npos;
  for (size_t i = start; i + pattern.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < pattern.size() && Upper(text[i + k]) == Upper(pattern[k])) ++k;
    if (k == pattern.size()) return i;
  }
  return std::string_view::npos;
}

}  // namespace

std::string EscapeParam(std::string_view raw) { return ReplaceAll(ReplaceAll(raw, "=", "&eq%"), ";", "&lim%"); }

std::string UnescapeParam(std::string_view escaped) {
  return ReplaceAll(ReplaceAll(escaped, "&eq%", "="), "&lim%", ";");
}

std::string GetParam(std::string_view text, std::string_view name) {
  const std::string t = ";" + std::string(Trim(text));
  const std::string key = ";" + EscapeParam(name) + "=";
  const size_t at = FindNoCase(t, key, 0);
  if (at == std::string::npos) return std::string();
  const size_t begin = at + key.size();
  const size_t end = t.find(';', begin);
  return UnescapeParam(std::string_view(t).substr(begin, end == std::string::npos ? std::string::npos : end - begin));
}

std::string SetParam(std::string_view text, std::string_view name, std::string_view value) {
  const std::string_view trimmed = Trim(text);
  const std::string n = EscapeParam(name);
  if (n.empty()) return std::string(trimmed);
  const std::string entry = n + "=" + EscapeParam(value);
  if (trimmed.empty()) return entry;

  const std::string t = ";" + std::string(trimmed);
  size_t at = FindNoCase(t, ";" + n + "=", 0);
  if (at == std::string::npos) {
    // A bare "Name" (no "=") counts as the entry with an empty value.
    for (at = FindNoCase(t, ";" + n, 0); at != std::string::npos; at = FindNoCase(t, ";" + n, at + 1)) {
      const size_t after = at + 1 + n.size();
      if (after == t.size() || t[after] == ';') break;
    }
  }
  if (at == std::string::npos) return std::string(trimmed) + ";" + entry;

  const size_t end = t.find(';', at + 1);
  std::string before = t.substr(0, at);
  if (!before.empty() && before.front() == ';') before.erase(0, 1);
  const std::string after = end == std::string::npos ? std::string() : t.substr(end + 1);
  std::string result = before.empty() ? entry : before + ";" + entry;
  if (!after.empty()) result += ";" + after;
  return result;
}

}  // namespace qorv_ref
