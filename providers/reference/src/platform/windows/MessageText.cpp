#include "platform/MessageText.h"

#include <windows.h>

#include <climits>

namespace qorv_ref::platform {
namespace {

// The code page of the library's messages, whatever the machine's own.
constexpr UINT kGbkCodePage = 936;

bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

const std::string g_outOfMemoryReply = "ResultMsgStr=" + MessageText("内存不足，加解密组件无法完成操作！");

}  // namespace

std::string MessageText(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > static_cast<size_t>(INT_MAX)) return std::string();
  const int length = static_cast<int>(utf8.size());
  const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  if (wideLength <= 0) return std::string(utf8);
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), wideLength);
  const int needed = WideCharToMultiByte(kGbkCodePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string(utf8);
  std::string text(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(kGbkCodePage, 0, wide.data(), wideLength, text.data(), needed, nullptr, nullptr);
  return text;
}

// GBK and the paths of a Chinese system's code page: a lead byte takes the next one.
size_t CharacterPrefix(std::string_view text, size_t max) {
  if (text.size() <= max) return text.size();
  size_t at = 0;
  while (at < text.size()) {
    const size_t step = IsGbkLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
    if (at + step > max) break;
    at += step;
  }
  return at;
}

const char* OutOfMemoryReply() { return g_outOfMemoryReply.c_str(); }

}  // namespace qorv_ref::platform
