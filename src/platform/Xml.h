// A parsed XML document as a plain tree, the same on every target.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qorv::platform {

struct XmlNode {
  enum class Kind { Element, Text, CData, Comment, ProcessingInstruction, Other };

  Kind kind = Kind::Other;
  std::string name;       // node name as written, with any namespace prefix
  std::string localName;  // node name without its prefix
  std::string text;       // content of text, CDATA and comment nodes, UTF-8
  std::vector<XmlNode> children;  // in document order; whitespace-only text is left out
};

// A document with an element nested this deep is refused; the root element is at depth
// 1, so the deepest element a document may have is at kMaxXmlDepth - 1.
constexpr int kMaxXmlDepth = 256;

// Parses a UTF-8 document (any encoding declaration in it is ignored: the text is
// already decoded) into the tree below root, which receives the root element.
// Fails on malformed XML, a document type declaration or nesting of kMaxXmlDepth.
bool ParseXmlDocument(std::string_view utf8, XmlNode& root);

}  // namespace qorv::platform
