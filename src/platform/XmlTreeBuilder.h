// Shared by the parsers of every target: the rules for which nodes the tree keeps.
#pragma once

#include <string_view>

namespace qorv::platform {

// Whitespace-only text between elements is not part of the tree.
inline bool IsXmlWhitespace(std::string_view text) {
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

}  // namespace qorv::platform
