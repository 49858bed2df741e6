// Byte-text helpers shared by every subsystem. Texts are 8-bit; only ASCII letters fold.
#pragma once

#include <string>
#include <string_view>

namespace qorv {

inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Equal when the lengths match and the bytes match with ASCII letters folded.
bool SameTextNoCase(std::string_view a, std::string_view b);

// Removes every byte of 0x20 or less (space and all control characters) from both ends.
std::string TrimText(std::string_view text);
// The same, as a view of text.
std::string_view TrimmedView(std::string_view text);

}  // namespace qorv
