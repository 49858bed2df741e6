// Conversions between the encodings of documents, of the host's narrow text and of
// the library's fixed messages.
#pragma once

#include <string>
#include <string_view>

#include "platform/TextEncoding.h"

namespace qorv::platform {

// Decodes bytes in the given encoding to UTF-8. Fails on a byte sequence that is not
// valid in that encoding.
bool DecodeToUtf8(std::string_view bytes, TextEncoding encoding, std::string& utf8);

// UTF-8 to the host's narrow text: the ANSI code page on Windows (characters it cannot
// represent become '?'), unchanged on POSIX.
std::string Utf8ToHostText(std::string_view utf8);

// UTF-8 to the encoding of the library's fixed messages: GBK on Windows whatever the
// machine's code page, unchanged on POSIX.
std::string Utf8ToMessageText(std::string_view utf8);

}  // namespace qorv::platform
