#include "platform/Xml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <mutex>

#include "platform/XmlTreeBuilder.h"

namespace qorv::platform {
namespace {

std::string Utf8(const xmlChar* s) { return s != nullptr ? reinterpret_cast<const char*>(s) : ""; }

bool CopyChildren(const xmlNode* node, XmlNode& target, int depth);

// Fills copy from node; false when the nesting is too deep.
bool CopyNode(const xmlNode* node, XmlNode& copy, int depth) {
  switch (node->type) {
    case XML_ELEMENT_NODE:
      copy.kind = XmlNode::Kind::Element;
      copy.localName = Utf8(node->name);
      copy.name = node->ns != nullptr && node->ns->prefix != nullptr ? Utf8(node->ns->prefix) + ":" + copy.localName
                                                                     : copy.localName;
      return CopyChildren(node, copy, depth + 1);
    case XML_TEXT_NODE:
      copy.kind = XmlNode::Kind::Text;
      copy.name = copy.localName = "#text";
      break;
    case XML_CDATA_SECTION_NODE:
      copy.kind = XmlNode::Kind::CData;
      copy.name = copy.localName = "#cdata-section";
      break;
    case XML_COMMENT_NODE:
      copy.kind = XmlNode::Kind::Comment;
      copy.name = copy.localName = "#comment";
      break;
    case XML_PI_NODE:
      copy.kind = XmlNode::Kind::ProcessingInstruction;
      copy.name = copy.localName = Utf8(node->name);
      break;
    default:
      copy.kind = XmlNode::Kind::Other;
      copy.name = copy.localName = Utf8(node->name);
      return true;
  }
  copy.text = Utf8(node->content);
  return true;
}

bool CopyChildren(const xmlNode* node, XmlNode& target, int depth) {
  if (depth > kMaxXmlDepth) return false;
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_TEXT_NODE && IsXmlWhitespace(Utf8(child->content))) continue;
    XmlNode copy;
    if (!CopyNode(child, copy, depth)) return false;
    target.children.push_back(std::move(copy));
  }
  return true;
}

struct CtxtFree {
  void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};
struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

}  // namespace

bool ParseXmlDocument(std::string_view utf8, XmlNode& root) {
  root = XmlNode();
  if (utf8.empty() || utf8.size() > static_cast<size_t>(INT32_MAX)) return false;
  static std::once_flag init;
  std::call_once(init, [] { xmlInitParser(); });

  std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
  if (!ctxt) return false;
  // No network, no external DTD, no entity substitution; the text is already UTF-8.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;
  std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(ctxt.get(), utf8.data(), static_cast<int>(utf8.size()),
                                                         nullptr, "UTF-8", options));
  if (!doc || !ctxt->wellFormed || !ctxt->nsWellFormed) return false;
  if (doc->intSubset != nullptr || doc->extSubset != nullptr) return false;
  const xmlNode* element = xmlDocGetRootElement(doc.get());
  if (element == nullptr) return false;

  XmlNode copy;
  if (!CopyNode(element, copy, 1)) return false;
  root = std::move(copy);
  return true;
}

}  // namespace qorv::platform
