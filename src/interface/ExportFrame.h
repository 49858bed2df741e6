// The calling frames of the exports: one for those that work through a crypt manager,
// one for the listing, each with the reply over the caller's request (the exports of
// the first version) or in a text the library allocates (their <Name>Ex twins).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "interface/CryptManage.h"

namespace qorv {

using ManagerOperation = std::function<bool(TCryptmanage& manager, std::string& params)>;

// Sets AppWindowHandle, builds the manager for the three texts (a null pointer reads as
// the empty text), runs the operation on a copy of the caller's parameter string and
// copies the result back over it. A null Params, or a null text behind it, is refused
// with 0 and nothing written. Anything thrown inside becomes 0 with a message; nothing
// crosses into the host. The provider's InitCrypt receives handle.
unsigned char RunManagerExport(uintptr_t handle, const char* configFile, const char* cryptType, const char* user,
                               char** params, const ManagerOperation& operation);

// The same, with the request read from request (null reads as the empty text) and
// *reply set to a text of the library's own holding what RunManagerExport would have
// written over it (null when no memory was left). A null reply is refused with 0 and
// nothing done.
unsigned char RunManagerExportEx(uintptr_t handle, const char* configFile, const char* cryptType, const char* user,
                                 const char* request, char** reply, const ManagerOperation& operation);

// GetCryptList's frame: sets AppWindowHandle, writes the list of the configuration's
// crypto types into list on success and the parameter string into *params always. A
// null Params or text behind it is refused with 0 and nothing written; a null list with
// 0 and the message.
unsigned char RunListExport(uintptr_t handle, const char* configFile, char* list, char** params);

// The same with *list and *reply set to texts of the library's own (the list empty on
// failure). A null reply is refused with 0 and nothing done; a null list with 0 and the
// message. The request is not read, as GetCryptList reads none.
unsigned char RunListExportEx(uintptr_t handle, const char* configFile, char** list, const char* request, char** reply);

// The caller's text, or the empty text for a null pointer.
std::string TextOrEmpty(const char* text);

// Copies text, zero-terminated, into a caller's buffer.
void CopyToCaller(char* buffer, const std::string& text);

// A zero-terminated copy of text that FreeText releases; null when no memory is left.
char* NewText(std::string_view text) noexcept;
void FreeText(char* text) noexcept;

}  // namespace qorv
