// Reading rules for configuration elements, shared by the loader and the listing.
#pragma once

#include <string>
#include <string_view>

#include "platform/Xml.h"

namespace qorv {

// First child whose node name, or local name, is exactly name; null when none.
const platform::XmlNode* FirstChildNamed(const platform::XmlNode& parent, std::string_view name);

// True when node is an element whose whole node name is name.
bool IsElementNamed(const platform::XmlNode& node, std::string_view name);

// The element's text value in host text: the text of its single text or CDATA child,
// empty when it has no content. False when it holds anything else (a child element,
// a comment, mixed content): the document is then unreadable.
bool ReadTextValue(const platform::XmlNode& element, std::string& value);

}  // namespace qorv
