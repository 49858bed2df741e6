// Reading a crypto configuration file into a document tree: the whole-file read, the
// encoding, the refusal of document type declarations, the parse.
#pragma once

#include <string>
#include <string_view>

#include "platform/Xml.h"

namespace qorv {

// The whole file, or empty on any failure (nothing is reported).
std::string LoadFileText(const std::string& fileName);

// Parses the bytes of a configuration file. False when the encoding is unknown or the
// bytes do not decode, the XML is malformed or empty, or it carries a document type
// declaration (a configuration must never make the library read another file or
// expand entities). The bytes are worked on in place.
bool ParseConfigDocument(std::string bytes, platform::XmlNode& root);

}  // namespace qorv
