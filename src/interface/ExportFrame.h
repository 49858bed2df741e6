// The calling frame shared by every export that works through a crypt manager.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "interface/CryptManage.h"

namespace qorv {

using ManagerOperation = std::function<bool(TCryptmanage& manager, std::string& params)>;

// Sets AppWindowHandle, builds the manager for the three texts (a null pointer reads as
// the empty text), runs the operation on a copy of the caller's parameter string and
// copies the result back over it. A null Params, or a null text behind it, is refused
// with 0 and nothing written. Anything thrown inside becomes 0 with a message; nothing
// crosses into the host.
unsigned char RunManagerExport(uintptr_t handle, const char* configFile, const char* cryptType, const char* user,
                               char** params, const ManagerOperation& operation);

// The caller's text, or the empty text for a null pointer.
std::string TextOrEmpty(const char* text);

// Copies text, zero-terminated, into a caller's buffer.
void CopyToCaller(char* buffer, const std::string& text);

}  // namespace qorv
