#include "platform/TextConversion.h"

#include <climits>

#include "platform/windows/WideText.h"

namespace qorv::platform {
namespace {

constexpr UINT kGbkCodePage = 936;

UINT CodePageOf(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8: return CP_UTF8;
    case TextEncoding::Gbk: return kGbkCodePage;
    // Systems without the GB18030 code page (wine) read its one- and two-byte
    // characters, which are GBK's, and refuse its four-byte sequences.
    case TextEncoding::Gb18030: return IsValidCodePage(54936) ? 54936 : kGbkCodePage;
    case TextEncoding::Latin1: return 28591;
    case TextEncoding::Ascii: return 20127;
    case TextEncoding::Windows1252: return 1252;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: break;
  }
  return 0;
}

bool Utf16Bytes(std::string_view bytes, bool bigEndian, std::wstring& wide) {
  if (bytes.size() % 2 != 0) return false;
  wide.resize(bytes.size() / 2);
  for (size_t i = 0; i < wide.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    wide[i] = static_cast<wchar_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  return true;
}

}  // namespace

bool ToWide(UINT codePage, std::string_view bytes, std::wstring& wide) {
  wide.clear();
  if (bytes.empty()) return true;
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return false;
  // Strict decoding where the code page supports the flag; 20127 and 1252 decode every byte.
  const DWORD flags = (codePage == CP_UTF8 || codePage == 936 || codePage == 54936) ? MB_ERR_INVALID_CHARS : 0;
  const int length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  wide.resize(static_cast<size_t>(needed));
  return MultiByteToWideChar(codePage, flags, bytes.data(), length, wide.data(), needed) == needed;
}

std::string FromWide(UINT codePage, std::wstring_view wide) {
  if (wide.empty() || wide.size() > static_cast<size_t>(INT_MAX)) return std::string();
  const int length = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string bytes(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), length, bytes.data(), needed, nullptr, nullptr);
  return bytes;
}

bool DecodeToUtf8(std::string_view bytes, TextEncoding encoding, std::string& utf8) {
  utf8.clear();
  std::wstring wide;
  bool ok = false;
  if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE) {
    ok = Utf16Bytes(bytes, encoding == TextEncoding::Utf16BE, wide);
  } else {
    ok = ToWide(CodePageOf(encoding), bytes, wide);
  }
  if (!ok) return false;
  utf8 = FromWide(CP_UTF8, wide);
  return true;
}

std::string Utf8ToHostText(std::string_view utf8) {
  std::wstring wide;
  if (!ToWide(CP_UTF8, utf8, wide)) return std::string(utf8);
  return FromWide(CP_ACP, wide);
}

std::string Utf8ToMessageText(std::string_view utf8) {
  std::wstring wide;
  if (!ToWide(CP_UTF8, utf8, wide)) return std::string(utf8);
  return FromWide(kGbkCodePage, wide);
}

}  // namespace qorv::platform
