// Texts cut to a number of bytes without splitting a character.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/TextEncoding.h"

namespace qorv {

// The longest start of text of at most maxBytes bytes that does not end inside a
// character of the encoding: GBK (a lead byte 0x81-0xFE with its trail byte) or UTF-8.
// Other encodings are cut at the byte.
std::string_view CutBetweenCharacters(std::string_view text, size_t maxBytes, platform::TextEncoding encoding);

// The encoding of messages on this target: GBK on Windows, UTF-8 elsewhere.
platform::TextEncoding MessageEncoding();

}  // namespace qorv
