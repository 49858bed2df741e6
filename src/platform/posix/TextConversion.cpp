#include "platform/TextConversion.h"

#include <iconv.h>

#include <cerrno>

namespace qorv::platform {
namespace {

const char* IconvName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8: return "UTF-8";
    case TextEncoding::Utf16LE: return "UTF-16LE";
    case TextEncoding::Utf16BE: return "UTF-16BE";
    case TextEncoding::Gbk: return "GBK";
    case TextEncoding::Gb18030: return "GB18030";
    case TextEncoding::Latin1: return "ISO-8859-1";
    case TextEncoding::Ascii: return "ASCII";
    case TextEncoding::Windows1252: return "CP1252";
  }
  return nullptr;
}

}  // namespace

bool DecodeToUtf8(std::string_view bytes, TextEncoding encoding, std::string& utf8) {
  utf8.clear();
  const char* from = IconvName(encoding);
  if (from == nullptr) return false;
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;

  bool ok = true;
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char chunk[16384];
  while (inLeft > 0) {
    char* out = chunk;
    size_t outLeft = sizeof chunk;
    size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
    utf8.append(chunk, static_cast<size_t>(out - chunk));
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      ok = false;  // EILSEQ or a sequence cut short at the end
      break;
    }
  }
  iconv_close(cd);
  if (!ok) utf8.clear();
  return ok;
}

std::string Utf8ToHostText(std::string_view utf8) { return std::string(utf8); }

std::string Utf8ToMessageText(std::string_view utf8) { return std::string(utf8); }

}  // namespace qorv::platform
