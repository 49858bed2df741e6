// Byte-text helpers shared by every subsystem. Texts are 8-bit; only ASCII letters fold.
// On Windows texts are GBK: a lead byte (0x81 to 0xFE) and the trail byte after it
// (0x40 to 0xFE, not 0x7F) are one character, whose bytes never fold, even where a trail
// byte has the code of a letter. Elsewhere every byte is a character of its own.
#pragma once

#include <string>
#include <string_view>

namespace qorv {

inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True where the host's text has double-byte characters (Windows).
bool HostTextIsDoubleByte();
// True when c opens a double-byte character of the host's text.
bool IsLeadByte(char c);

// Bytes the character starting at text[i] takes: 2 for a complete double-byte pair.
size_t HostCharLength(std::string_view text, size_t i);

// Equal when the lengths match and the characters match with ASCII letters folded.
bool SameTextNoCase(std::string_view a, std::string_view b);

// Removes every byte of 0x20 or less (space and all control characters) from both ends.
std::string TrimText(std::string_view text);
// The same, as a view of text.
std::string_view TrimmedView(std::string_view text);

}  // namespace qorv
