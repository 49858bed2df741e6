// The text of an INI file as lines, with the lookups and edits the stores need. The
// rules are those of the Windows profile calls, so that files written by either read
// the same: sections and keys match without regard to ASCII case or surrounding blanks;
// the first of duplicate sections or keys wins; a value in matching quotes loses them;
// a value reads back up to kMaxIniValue bytes. There are no comments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qorv {

class TIniDocument {
 public:
  // Longest value read back, as a 2048-byte profile buffer gives it.
  static constexpr size_t kMaxIniValue = 2047;

  TIniDocument() = default;
  // Lines end at CR LF, LF or CR; a UTF-8 byte order mark is kept but not parsed.
  explicit TIniDocument(std::string_view text);

  // Value of key in the first section named section; empty when either is absent.
  std::string Read(std::string_view section, std::string_view key) const;

  // The name of the first section that section names, as the text spells it; empty
  // when there is none.
  std::string SectionName(std::string_view section) const;

  // True when a value can be found under that key in that section once written: the
  // names are not blank and no text holds a line break or NUL; the key has no '=' and
  // does not start with '['; the value reads back whole (ReadsBackWhole).
  static bool CanWrite(std::string_view section, std::string_view key, std::string_view value);
  // True when the value reads back as it was written: at most kMaxIniValue bytes, no
  // line break or NUL, no blank at either end and not inside a pair of quotes.
  static bool ReadsBackWhole(std::string_view value);

  // Sets key in the first section of that name: an existing key is replaced where it
  // stands, keeping its spelling; a new key goes after the section's last non-blank
  // line; a new section goes at the end of the text. False, with nothing changed, when
  // CanWrite refuses.
  bool Write(std::string_view section, std::string_view key, std::string_view value);

  // The text with CR LF after every line.
  std::string Text() const;

 private:
  // Index of the header of the first section named section, or npos.
  size_t FindSection(std::string_view section) const;
  // Index of the first line of that key in the section whose header is at header, or npos.
  size_t FindKey(size_t header, std::string_view key) const;
  // Index one past the section's last line.
  size_t SectionEnd(size_t header) const;

  // A line without its line end, with what it holds found once, when it is read or
  // written, rather than on every lookup.
  class Line {
   public:
    enum class Kind : unsigned char { Blank, Section, Entry };
    explicit Line(std::string text);
    const std::string& Text() const { return FText; }
    Kind LineKind() const { return FKind; }
    // Section name or key, trimmed.
    std::string_view Name() const { return std::string_view(FText).substr(FNameAt, FNameSize); }
    // Entry value, trimmed.
    std::string_view Value() const { return std::string_view(FText).substr(FValueAt, FValueSize); }

   private:
    std::string FText;
    Kind FKind = Kind::Blank;
    size_t FNameAt = 0, FNameSize = 0, FValueAt = 0, FValueSize = 0;
  };

  std::string FByteOrderMark;
  std::vector<Line> FLines;
};

}  // namespace qorv
