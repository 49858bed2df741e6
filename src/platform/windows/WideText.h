// UTF-16 conversions for the Windows implementations.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace qorv::platform {

// Bytes in code page to UTF-16; false on an invalid sequence.
bool ToWide(UINT codePage, std::string_view bytes, std::wstring& wide);
// UTF-16 to bytes in code page; unrepresentable characters become the default character.
std::string FromWide(UINT codePage, std::wstring_view wide);

}  // namespace qorv::platform
