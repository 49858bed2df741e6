#include "platform/MessageText.h"

namespace qorv_ref::platform {

std::string MessageText(std::string_view utf8) { return std::string(utf8); }

size_t CharacterPrefix(std::string_view text, size_t max) {
  if (text.size() <= max) return text.size();
  size_t cut = max;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

const char* OutOfMemoryReply() { return "ResultMsgStr=内存不足，加解密组件无法完成操作！"; }

}  // namespace qorv_ref::platform
