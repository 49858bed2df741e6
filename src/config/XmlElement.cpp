#include "config/XmlElement.h"

#include "platform/TextConversion.h"

namespace qorv {

using platform::XmlNode;

const XmlNode* FirstChildNamed(const XmlNode& parent, std::string_view name) {
  for (const XmlNode& child : parent.children) {
    if (child.name == name || child.localName == name) return &child;
  }
  return nullptr;
}

bool IsElementNamed(const XmlNode& node, std::string_view name) {
  return node.kind == XmlNode::Kind::Element && node.name == name;
}

bool ReadTextValue(const XmlNode& element, std::string& value) {
  value.clear();
  if (element.children.empty()) return true;
  if (element.children.size() > 1) return false;
  const XmlNode& only = element.children.front();
  if (only.kind != XmlNode::Kind::Text && only.kind != XmlNode::Kind::CData) return false;
  value = platform::Utf8ToHostText(only.text);
  return true;
}

}  // namespace qorv
