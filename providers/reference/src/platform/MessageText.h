// The text of the provider's messages: written in the sources as UTF-8, handed to the
// host as the library hands its own, UTF-8 on Linux and GBK on Windows (whatever the
// machine's code page). Paths and names inside a message are the host's text already
// and are not converted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qorv_ref::platform {

std::string MessageText(std::string_view utf8);

// The longest prefix of text (message or host text) of at most max bytes that ends on
// a character boundary.
size_t CharacterPrefix(std::string_view text, size_t max);

// A fixed reply for when no memory is left even for a message: built when the provider
// is loaded, so that giving it needs none.
const char* OutOfMemoryReply();

}  // namespace qorv_ref::platform
