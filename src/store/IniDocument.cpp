#include "store/IniDocument.h"

#include "store/StoreNames.h"

namespace qorv {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

enum class LineKind { Blank, Section, Entry };

struct Line {
  LineKind kind = LineKind::Blank;
  std::string_view name;   // section name or key, trimmed
  std::string_view value;  // entry value, trimmed
};

Line Classify(std::string_view raw) {
  Line line;
  const std::string_view text = Trim(raw);
  // No comment syntax: the profile calls read ";x=1" as the key ";x".
  if (text.empty()) return line;
  // The name runs to the last ']', so a double-byte character whose trail byte is
  // 0x5D stays inside it. Text after that ']' is ignored.
  const size_t close = text.rfind(']');
  if (text.front() == '[' && close != std::string_view::npos && close > 0) {
    line.kind = LineKind::Section;
    line.name = Trim(text.substr(1, close - 1));
    return line;
  }
  line.kind = LineKind::Entry;
  const size_t equals = text.find('=');
  line.name = Trim(text.substr(0, equals));
  if (equals != std::string_view::npos) line.value = Trim(text.substr(equals + 1));
  return line;
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

TIniDocument::TIniDocument(std::string_view text) {
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    FByteOrderMark = std::string(kUtf8Bom);
    text.remove_prefix(kUtf8Bom.size());
  }
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      FLines.emplace_back(text.substr(start));
      break;
    }
    FLines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
}

size_t TIniDocument::FindSection(std::string_view section) const {
  for (size_t i = 0; i < FLines.size(); ++i) {
    const Line line = Classify(FLines[i]);
    if (line.kind == LineKind::Section && SameIniName(line.name, section)) return i;
  }
  return std::string::npos;
}

size_t TIniDocument::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < FLines.size() && Classify(FLines[i]).kind != LineKind::Section) ++i;
  return i;
}

size_t TIniDocument::FindKey(size_t header, std::string_view key) const {
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    const Line line = Classify(FLines[i]);
    if (line.kind == LineKind::Entry && SameIniName(line.name, key)) return i;
  }
  return std::string::npos;
}

std::string TIniDocument::Read(std::string_view section, std::string_view key) const {
  if (Trim(key).empty()) return std::string();
  const size_t header = FindSection(section);
  if (header == std::string::npos) return std::string();
  const size_t at = FindKey(header, key);
  if (at == std::string::npos) return std::string();
  std::string_view value = Classify(FLines[at]).value;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value.substr(0, kMaxIniValue));
}

bool TIniDocument::CanWrite(std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view trimmedKey = Trim(key);
  return !Trim(section).empty() && !trimmedKey.empty() && !HasLineBreakOrNul(section) && !HasLineBreakOrNul(key) &&
         !HasLineBreakOrNul(value) && trimmedKey.find('=') == std::string_view::npos && trimmedKey.front() != '[';
}

bool TIniDocument::Write(std::string_view section, std::string_view key, std::string_view value) {
  if (!CanWrite(section, key, value)) return false;
  const size_t header = FindSection(section);
  if (header == std::string::npos) {
    FLines.push_back("[" + std::string(Trim(section)) + "]");
    FLines.push_back(std::string(Trim(key)) + "=" + std::string(value));
    return true;
  }
  const size_t at = FindKey(header, key);
  if (at != std::string::npos) {
    FLines[at] = std::string(Classify(FLines[at]).name) + "=" + std::string(value);
    return true;
  }
  // Blank lines that close the section keep standing between it and the next one.
  size_t insert = SectionEnd(header);
  while (insert > header + 1 && Classify(FLines[insert - 1]).kind == LineKind::Blank) --insert;
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(insert),
                std::string(Trim(key)) + "=" + std::string(value));
  return true;
}

std::string TIniDocument::Text() const {
  std::string text = FByteOrderMark;
  for (const std::string& line : FLines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace qorv
