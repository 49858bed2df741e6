// Rules for the names that become INI sections and store folders: user names, server
// record names and crypto type names. Texts are 8-bit; on Windows they are GBK, where a
// lead byte (0x81 to 0xFE) takes the next byte with it, so a trail byte such as 0x5C or
// 0x5D is part of a character, not a backslash or a bracket.
#pragma once

#include <string>
#include <string_view>

namespace qorv {

// INI names compare with surrounding blanks ignored and ASCII letters folded; the trail
// byte of a double-byte character never folds.
bool SameIniName(std::string_view a, std::string_view b);

// True when the name can serve as a store folder and an INI section: not empty, no
// blank at either end, not ending in '.' (so "." and ".." are out, and Windows, which
// drops trailing dots, cannot merge two names into one folder), and no '/', '\\', '[',
// ']' or control character (below 0x20, or 0x7F) outside double-byte characters.
bool IsSafeStoreName(std::string_view name);

// The section, and folder, of the server certificate record for a revenue code as the
// configuration gives it: "Revenue" + the code, trimmed at its ends as INI section names
// and folder names are (" 12 " gives "Revenue 12", one record either way). Line breaks
// and tabs around the code, as a pretty-printed configuration has them, go first with
// the blanks next to them, since no section name can hold them.
std::string ServerRecordSection(std::string_view revenueCode);

// True when the name starts with "Revenue" in any ASCII case: the server certificate
// records of a crypto type are "Revenue" + its revenue code, and the code may be any
// text and may change, so no user name of that form can be told apart from a record
// the type has now or may have later.
bool IsReservedUserName(std::string_view user);

}  // namespace qorv
