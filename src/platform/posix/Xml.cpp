#include "platform/Xml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/XmlTreeBuilder.h"

namespace qorv::platform {
namespace {

// The tree is built from the parser's events, without the parser's own tree: copying
// that tree cost as much as parsing did. The nodes kept are those the parser's tree
// would hold: adjacent text (and adjacent CDATA) merged, whitespace-only text left out.
// Each open element gathers its children in a list reused from element to element, and
// gets them in one allocation of the right size when it ends.
class TreeBuilder {
 public:
  explicit TreeBuilder(XmlNode& root) : root_(root) {}

  bool failed() const { return failed_; }
  bool hasRoot() const { return hasRoot_; }

  void StartElement(xmlParserCtxtPtr ctxt, const xmlChar* localName, const xmlChar* prefix) {
    XmlNode* node = nullptr;
    if (open_.empty()) {
      if (hasRoot_) return;  // the parser refuses a second root itself
      hasRoot_ = true;
      node = &root_;
    } else {
      EndText();
      // The list of the innermost open element grows only until that element ends, so
      // the pointers to the open elements stay valid.
      Gathering().emplace_back();
      node = &Gathering().back();
    }
    // An element as deep as the limit is refused, as it always was.
    if (open_.size() + 1 >= static_cast<size_t>(kMaxXmlDepth)) {
      Fail(ctxt);
      return;
    }
    node->kind = XmlNode::Kind::Element;
    node->localName = Text(localName);
    node->name = prefix != nullptr ? Text(prefix) + ":" + node->localName : node->localName;
    open_.push_back(node);
    if (levels_.size() < open_.size()) levels_.emplace_back();
  }

  void EndElement() {
    if (open_.empty()) return;
    EndText();
    std::vector<XmlNode>& gathered = Gathering();
    std::vector<XmlNode>& children = open_.back()->children;
    children.reserve(gathered.size());
    for (XmlNode& child : gathered) children.push_back(std::move(child));
    gathered.clear();
    open_.pop_back();
  }

  void Characters(const xmlChar* text, int length) {
    if (open_.empty() || length <= 0) return;
    inText_ = true;
    text_.append(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
  }

  // A CDATA section merges with one just before it.
  void CData(const xmlChar* text, int length) {
    if (open_.empty() || length < 0) return;
    const bool merge = !inText_ && !Gathering().empty() && Gathering().back().kind == XmlNode::Kind::CData;
    if (!merge) AddLeaf(XmlNode::Kind::CData, "#cdata-section", std::string());
    Gathering().back().text.append(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
  }

  void Leaf(XmlNode::Kind kind, const xmlChar* name, const xmlChar* text) {
    if (open_.empty()) return;  // the prolog and what follows the root are not kept
    AddLeaf(kind, Text(name), Text(text));
  }

  void Fail(xmlParserCtxtPtr ctxt) {
    failed_ = true;
    xmlStopParser(ctxt);
  }

 private:
  static std::string Text(const xmlChar* s) { return s != nullptr ? reinterpret_cast<const char*>(s) : ""; }

  // Children of the innermost open element so far.
  std::vector<XmlNode>& Gathering() { return levels_[open_.size() - 1]; }

  void AddLeaf(XmlNode::Kind kind, std::string name, std::string text) {
    EndText();
    XmlNode& leaf = Gathering().emplace_back();
    leaf.kind = kind;
    leaf.localName = name;
    leaf.name = std::move(name);
    leaf.text = std::move(text);
  }

  // The run of text gathered so far becomes a node, unless it is whitespace only.
  void EndText() {
    if (!inText_) return;
    inText_ = false;
    if (!IsXmlWhitespace(text_)) AddTextNode();
    text_.clear();
  }

  void AddTextNode() {
    XmlNode& node = Gathering().emplace_back();
    node.kind = XmlNode::Kind::Text;
    node.name = node.localName = "#text";
    node.text = text_;
  }

  XmlNode& root_;
  std::vector<XmlNode*> open_;
  std::vector<std::vector<XmlNode>> levels_;  // levels_[d]: children of open_[d]
  std::string text_;                          // the text run being gathered
  bool inText_ = false;
  bool hasRoot_ = false;
  bool failed_ = false;
};

xmlParserCtxtPtr Context(void* ctx) { return static_cast<xmlParserCtxtPtr>(ctx); }
TreeBuilder& Builder(void* ctx) { return *static_cast<TreeBuilder*>(Context(ctx)->_private); }

void OnStartElement(void* ctx, const xmlChar* localName, const xmlChar* prefix, const xmlChar*, int, const xmlChar**,
                    int, int, const xmlChar**) {
  Builder(ctx).StartElement(Context(ctx), localName, prefix);
}
void OnEndElement(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) { Builder(ctx).EndElement(); }
void OnCharacters(void* ctx, const xmlChar* text, int length) { Builder(ctx).Characters(text, length); }
void OnCData(void* ctx, const xmlChar* text, int length) { Builder(ctx).CData(text, length); }
void OnComment(void* ctx, const xmlChar* text) {
  Builder(ctx).Leaf(XmlNode::Kind::Comment, reinterpret_cast<const xmlChar*>("#comment"), text);
}
void OnProcessingInstruction(void* ctx, const xmlChar* target, const xmlChar* data) {
  Builder(ctx).Leaf(XmlNode::Kind::ProcessingInstruction, target, data);
}
// A document type declaration is refused.
void OnDocumentType(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) { Builder(ctx).Fail(Context(ctx)); }
void Quiet(void*, xmlErrorPtr) {}

struct CtxtFree {
  void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

}  // namespace

bool ParseXmlDocument(std::string_view utf8, XmlNode& root) {
  root = XmlNode();
  if (utf8.empty() || utf8.size() > static_cast<size_t>(INT32_MAX)) return false;
  static std::once_flag init;
  std::call_once(init, [] { xmlInitParser(); });

  std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
  if (!ctxt || ctxt->sax == nullptr) return false;
  xmlSAXHandler sax;
  std::memset(&sax, 0, sizeof sax);
  sax.initialized = XML_SAX2_MAGIC;
  sax.startElementNs = OnStartElement;
  sax.endElementNs = OnEndElement;
  sax.characters = OnCharacters;
  sax.ignorableWhitespace = OnCharacters;
  sax.cdataBlock = OnCData;
  sax.comment = OnComment;
  sax.processingInstruction = OnProcessingInstruction;
  sax.internalSubset = OnDocumentType;
  sax.serror = Quiet;
  *ctxt->sax = sax;
  XmlNode built;
  TreeBuilder builder(built);
  ctxt->_private = &builder;

  // No network, no external DTD, no entity substitution; the text is already UTF-8.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;
  xmlDoc* doc = xmlCtxtReadMemory(ctxt.get(), utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", options);
  if (doc != nullptr) xmlFreeDoc(doc);  // none is built without the tree handlers
  if (builder.failed() || !builder.hasRoot() || !ctxt->wellFormed || !ctxt->nsWellFormed) return false;
  root = std::move(built);
  return true;
}

}  // namespace qorv::platform
