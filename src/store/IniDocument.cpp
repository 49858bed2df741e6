#include "store/IniDocument.h"

#include <utility>

#include "store/StoreNames.h"
#include "util/TextCase.h"

namespace qorv {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The offset of part within whole, which it views.
size_t OffsetIn(std::string_view whole, std::string_view part) {
  return static_cast<size_t>(part.data() - whole.data());
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

TIniDocument::Line::Line(std::string text) : FText(std::move(text)) {
  const std::string_view whole(FText);
  const std::string_view trimmed = TrimmedView(whole);
  // No comment syntax: the profile calls read ";x=1" as the key ";x".
  if (trimmed.empty()) return;
  std::string_view name;
  std::string_view value;
  // The name runs to the last ']', so a double-byte character whose trail byte is
  // 0x5D stays inside it. Text after that ']' is ignored.
  const size_t close = trimmed.rfind(']');
  if (trimmed.front() == '[' && close != std::string_view::npos && close > 0) {
    FKind = Kind::Section;
    name = TrimmedView(trimmed.substr(1, close - 1));
  } else {
    FKind = Kind::Entry;
    const size_t equals = trimmed.find('=');
    name = TrimmedView(trimmed.substr(0, equals));
    if (equals != std::string_view::npos) value = TrimmedView(trimmed.substr(equals + 1));
  }
  FNameAt = OffsetIn(whole, name);
  FNameSize = name.size();
  if (!value.empty()) FValueAt = OffsetIn(whole, value);
  FValueSize = value.size();
}

TIniDocument::TIniDocument(std::string_view text) {
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    FByteOrderMark = std::string(kUtf8Bom);
    text.remove_prefix(kUtf8Bom.size());
  }
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      FLines.emplace_back(std::string(text.substr(start)));
      break;
    }
    FLines.emplace_back(std::string(text.substr(start, end - start)));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
}

size_t TIniDocument::FindSection(std::string_view section) const {
  for (size_t i = 0; i < FLines.size(); ++i) {
    if (FLines[i].LineKind() == Line::Kind::Section && SameIniName(FLines[i].Name(), section)) return i;
  }
  return std::string::npos;
}

size_t TIniDocument::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < FLines.size() && FLines[i].LineKind() != Line::Kind::Section) ++i;
  return i;
}

size_t TIniDocument::FindKey(size_t header, std::string_view key) const {
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    if (FLines[i].LineKind() == Line::Kind::Entry && SameIniName(FLines[i].Name(), key)) return i;
  }
  return std::string::npos;
}

std::string TIniDocument::Read(std::string_view section, std::string_view key) const {
  if (TrimmedView(key).empty()) return std::string();
  const size_t header = FindSection(section);
  if (header == std::string::npos) return std::string();
  const size_t at = FindKey(header, key);
  if (at == std::string::npos) return std::string();
  std::string_view value = FLines[at].Value();
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value.substr(0, kMaxIniValue));
}

std::string TIniDocument::SectionName(std::string_view section) const {
  const size_t header = FindSection(section);
  return header == std::string::npos ? std::string() : std::string(FLines[header].Name());
}

bool TIniDocument::CanWrite(std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view trimmedKey = TrimmedView(key);
  return !TrimmedView(section).empty() && !trimmedKey.empty() && !HasLineBreakOrNul(section) &&
         !HasLineBreakOrNul(key) && ReadsBackWhole(value) && trimmedKey.find('=') == std::string_view::npos &&
         trimmedKey.front() != '[';
}

bool TIniDocument::ReadsBackWhole(std::string_view value) {
  if (value.size() > kMaxIniValue || HasLineBreakOrNul(value) || TrimmedView(value).size() != value.size()) {
    return false;
  }
  return !(value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front());
}

bool TIniDocument::Write(std::string_view section, std::string_view key, std::string_view value) {
  if (!CanWrite(section, key, value)) return false;
  const size_t header = FindSection(section);
  if (header == std::string::npos) {
    FLines.emplace_back("[" + std::string(TrimmedView(section)) + "]");
    FLines.emplace_back(std::string(TrimmedView(key)) + "=" + std::string(value));
    return true;
  }
  const size_t at = FindKey(header, key);
  if (at != std::string::npos) {
    FLines[at] = Line(std::string(FLines[at].Name()) + "=" + std::string(value));
    return true;
  }
  // Blank lines that close the section keep standing between it and the next one.
  size_t insert = SectionEnd(header);
  while (insert > header + 1 && FLines[insert - 1].LineKind() == Line::Kind::Blank) --insert;
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(insert),
                Line(std::string(TrimmedView(key)) + "=" + std::string(value)));
  return true;
}

std::string TIniDocument::Text() const {
  std::string text = FByteOrderMark;
  for (const Line& line : FLines) {
    text += line.Text();
    text += "\r\n";
  }
  return text;
}

}  // namespace qorv
