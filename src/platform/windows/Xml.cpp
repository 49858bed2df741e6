// The Windows parser: the platform's COM XML DOM (MSXML), copied into the portable tree.
#include "platform/Xml.h"

#include <windows.h>
#include <objbase.h>
#include <msxml2.h>

#include <climits>

#include "platform/XmlTreeBuilder.h"
#include "platform/windows/WideText.h"

// The headers declare these interfaces without binding their IIDs to __uuidof.
__CRT_UUID_DECL(IXMLDOMNode, 0x2933bf80, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMDocument, 0x2933bf81, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMDocument2, 0x2933bf95, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)

namespace qorv::platform {
namespace {

// Owns one COM interface reference.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** Out() {
    Reset();
    return &p_;
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// Owns one BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text) : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(s_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR* Out() {
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  BSTR get() const { return s_; }
  std::string Utf8() const { return s_ != nullptr ? FromWide(CP_UTF8, std::wstring_view(s_, SysStringLen(s_))) : ""; }

 private:
  BSTR s_ = nullptr;
};

// COM for the duration of one parse when the calling thread had not initialised it.
class ComScope {
 public:
  ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (initialised_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool initialised_;
};

HRESULT CreateDocument(ComRef<IXMLDOMDocument>& document) {
  HRESULT last = REGDB_E_CLASSNOTREG;
  for (const wchar_t* progId : {L"Msxml2.DOMDocument.6.0", L"Msxml2.DOMDocument.3.0"}) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) continue;
    last = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IXMLDOMDocument),
                            reinterpret_cast<void**>(document.Out()));
    if (SUCCEEDED(last) || last == CO_E_NOTINITIALIZED) return last;
  }
  return last;
}

std::string NodeValue(IXMLDOMNode* node) {
  VARIANT value;
  VariantInit(&value);
  std::string text;
  if (SUCCEEDED(node->get_nodeValue(&value)) && value.vt == VT_BSTR && value.bstrVal != nullptr) {
    text = FromWide(CP_UTF8, std::wstring_view(value.bstrVal, SysStringLen(value.bstrVal)));
  }
  VariantClear(&value);
  return text;
}

bool CopyNode(IXMLDOMNode* node, XmlNode& copy, int depth);

bool CopyChildren(IXMLDOMNode* node, XmlNode& target, int depth) {
  if (depth > kMaxXmlDepth) return false;
  ComRef<IXMLDOMNodeList> children;
  if (FAILED(node->get_childNodes(children.Out())) || !children) return false;
  long count = 0;
  if (FAILED(children->get_length(&count))) return false;
  for (long i = 0; i < count; ++i) {
    ComRef<IXMLDOMNode> child;
    if (FAILED(children->get_item(i, child.Out())) || !child) return false;
    XmlNode copy;
    if (!CopyNode(child.get(), copy, depth)) return false;
    if (copy.kind == XmlNode::Kind::Text && IsXmlWhitespace(copy.text)) continue;
    target.children.push_back(std::move(copy));
  }
  return true;
}

bool CopyNode(IXMLDOMNode* node, XmlNode& copy, int depth) {
  DOMNodeType type = NODE_INVALID;
  if (FAILED(node->get_nodeType(&type))) return false;
  Bstr name;
  Bstr baseName;
  node->get_nodeName(name.Out());
  node->get_baseName(baseName.Out());
  copy.name = name.Utf8();
  copy.localName = baseName.get() != nullptr ? baseName.Utf8() : copy.name;
  switch (type) {
    case NODE_ELEMENT:
      copy.kind = XmlNode::Kind::Element;
      return CopyChildren(node, copy, depth + 1);
    case NODE_TEXT: copy.kind = XmlNode::Kind::Text; break;
    case NODE_CDATA_SECTION: copy.kind = XmlNode::Kind::CData; break;
    case NODE_COMMENT: copy.kind = XmlNode::Kind::Comment; break;
    case NODE_PROCESSING_INSTRUCTION: copy.kind = XmlNode::Kind::ProcessingInstruction; break;
    default: copy.kind = XmlNode::Kind::Other; return true;
  }
  copy.text = NodeValue(node);
  return true;
}

bool ParseWithDocument(IXMLDOMDocument* document, const std::wstring& text, XmlNode& root) {
  document->put_async(VARIANT_FALSE);
  document->put_validateOnParse(VARIANT_FALSE);
  document->put_resolveExternals(VARIANT_FALSE);
  // Whitespace-only text is dropped by the copy, as on every target.
  document->put_preserveWhiteSpace(VARIANT_TRUE);
  ComRef<IXMLDOMDocument2> document2;
  if (SUCCEEDED(document->QueryInterface(__uuidof(IXMLDOMDocument2), reinterpret_cast<void**>(document2.Out())))) {
    VARIANT on;
    VariantInit(&on);
    on.vt = VT_BOOL;
    on.boolVal = VARIANT_TRUE;
    Bstr prohibitDtd(L"ProhibitDTD");
    document2->setProperty(prohibitDtd.get(), on);
  }

  Bstr source(text);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (FAILED(document->loadXML(source.get(), &loaded)) || loaded != VARIANT_TRUE) return false;
  // Some parsers accept a DTD despite ProhibitDTD: refuse it here as well.
  ComRef<IXMLDOMDocumentType> doctype;
  if (SUCCEEDED(document->get_doctype(doctype.Out())) && doctype) return false;
  ComRef<IXMLDOMElement> element;
  if (FAILED(document->get_documentElement(element.Out())) || !element) return false;
  ComRef<IXMLDOMNode> node;
  if (FAILED(element->QueryInterface(__uuidof(IXMLDOMNode), reinterpret_cast<void**>(node.Out())))) return false;
  XmlNode copy;
  if (!CopyNode(node.get(), copy, 1)) return false;
  root = std::move(copy);
  return true;
}

}  // namespace

bool ParseXmlDocument(std::string_view utf8, XmlNode& root) {
  root = XmlNode();
  std::wstring text;
  if (utf8.empty() || !ToWide(CP_UTF8, utf8, text)) return false;

  ComRef<IXMLDOMDocument> document;
  HRESULT created = CreateDocument(document);
  if (created == CO_E_NOTINITIALIZED) {
    // The host's thread has no COM: initialise it for this parse only.
    ComScope com;
    if (FAILED(CreateDocument(document))) return false;
    const bool ok = ParseWithDocument(document.get(), text, root);
    document.Reset();
    return ok;
  }
  return SUCCEEDED(created) && ParseWithDocument(document.get(), text, root);
}

}  // namespace qorv::platform
