// Rules for the names that become INI sections and store folders: user names, server
// record names and crypto type names. Texts are 8-bit; on Windows they are GBK, where a
// lead byte (0x81 to 0xFE) takes the next byte with it, so a trail byte such as 0x5C or
// 0x5D is part of a character, not a backslash or a bracket.
#pragma once

#include <string_view>

namespace qorv {

// True when c opens a double-byte character of the host's text.
bool IsLeadByte(char c);

// INI names compare with surrounding blanks ignored and ASCII letters folded; the trail
// byte of a double-byte character never folds.
bool SameIniName(std::string_view a, std::string_view b);

// True when the name can serve as a store folder and an INI section: not empty, no
// blank at either end, not ending in '.' (so "." and ".." are out, and Windows, which
// drops trailing dots, cannot merge two names into one folder), and no '/', '\\', '[',
// ']' or control character (below 0x20, or 0x7F) outside double-byte characters.
bool IsSafeStoreName(std::string_view name);

}  // namespace qorv
