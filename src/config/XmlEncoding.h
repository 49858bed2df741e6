// Finds the character encoding of an XML document from its byte-order mark or its XML
// declaration, as XML 1.0 prescribes; UTF-8 when neither says otherwise.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/TextEncoding.h"

namespace qorv {

struct DetectedEncoding {
  platform::TextEncoding encoding = platform::TextEncoding::Utf8;
  size_t bomLength = 0;  // bytes of byte-order mark to skip
};

// False when the declaration names an encoding this library does not read.
bool DetectXmlEncoding(std::string_view bytes, DetectedEncoding& detected);

// The decoded text from `from` on, with the encoding pseudo-attribute taken out of its
// XML declaration: once decoded, the text no longer is in the declared encoding, and
// some parsers would act on the declaration all the same. Done in place, without a
// copy of the document: the bytes before the attribute move up over it and the view
// returned starts where they now begin.
std::string_view WithoutEncodingDeclaration(std::string& text, size_t from);

// True when bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing
// beyond U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view bytes);

}  // namespace qorv
