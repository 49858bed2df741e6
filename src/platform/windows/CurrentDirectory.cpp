#include "platform/CurrentDirectory.h"

#include <windows.h>

#include <string>

namespace qorv::platform {
namespace {

std::wstring CurrentDirectoryText() {
  std::wstring text(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(text.size()), text.data());
    if (length == 0) return std::wstring();
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    text.resize(length);
  }
}

}  // namespace

struct CurrentDirectoryKeeper::Recorded {
  std::wstring path;
};

CurrentDirectoryKeeper::CurrentDirectoryKeeper() : FRecorded(std::make_unique<Recorded>()) {
  FRecorded->path = CurrentDirectoryText();
}

CurrentDirectoryKeeper::~CurrentDirectoryKeeper() {
  if (FRecorded->path.empty() || CurrentDirectoryText() == FRecorded->path) return;
  SetCurrentDirectoryW(FRecorded->path.c_str());
}

}  // namespace qorv::platform
