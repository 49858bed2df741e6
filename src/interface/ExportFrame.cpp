#include "interface/ExportFrame.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "config/CryptList.h"
#include "interface/AppWindow.h"
#include "interface/ParamString.h"
#include "util/Messages.h"

namespace qorv {
namespace {

// What one call gives back: its result, and its reply, absent when not even the
// message could be built (the caller's text then stays as it was).
struct ManagerAnswer {
  unsigned char ok = 0;
  std::optional<std::string> reply;
};

ManagerAnswer RunManagerCall(uintptr_t handle, const char* configFile, const char* cryptType, const char* user,
                             const char* request, const ManagerOperation& operation) noexcept {
  const CallerWindowScope window(handle);
  ManagerAnswer answer;
  try {
    // The manager lives until the reply is taken, and is released on every path.
    TCryptmanage manager(TextOrEmpty(cryptType), TextOrEmpty(configFile), TextOrEmpty(user));
    std::string working(request);
    const bool ok = operation(manager, working);
    answer.reply = std::move(working);
    answer.ok = ok ? 1 : 0;
  } catch (...) {
    answer.ok = 0;
    try {
      answer.reply = SetParamValue(request, "ResultMsgStr", msg::UnexpectedError());
    } catch (...) {
      answer.reply.reset();
    }
  }
  return answer;
}

struct ListAnswer {
  unsigned char ok = 0;
  std::optional<std::string> list;  // on success only
  std::optional<std::string> params;
};

ListAnswer RunListCall(const char* configFile, bool haveList) noexcept {
  ListAnswer answer;
  try {
    if (!haveList) {
      answer.params = SetParamValue("", "ResultMsgStr", msg::ListBufferMissing());
      return answer;
    }
    CryptListResult result = ListCryptTypes(TextOrEmpty(configFile));
    if (result.ok) answer.list = std::move(result.list);
    answer.params = std::move(result.params);
    answer.ok = result.ok ? 1 : 0;
  } catch (...) {
    answer.ok = 0;
    answer.list.reset();
    try {
      answer.params = SetParamValue("", "ResultMsgStr", msg::UnexpectedError());
    } catch (...) {
      answer.params.reset();
    }
  }
  return answer;
}

}  // namespace

std::string TextOrEmpty(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

void CopyToCaller(char* buffer, const std::string& text) { std::memcpy(buffer, text.c_str(), text.size() + 1); }

char* NewText(std::string_view text) noexcept {
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) return nullptr;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void FreeText(char* text) noexcept { std::free(text); }

unsigned char RunManagerExport(uintptr_t handle, const char* configFile, const char* cryptType, const char* user,
                               char** params, const ManagerOperation& operation) {
  SetAppWindowHandle(handle);
  if (params == nullptr || *params == nullptr) return 0;
  const ManagerAnswer answer = RunManagerCall(handle, configFile, cryptType, user, *params, operation);
  if (answer.reply) CopyToCaller(*params, *answer.reply);
  return answer.ok;
}

unsigned char RunManagerExportEx(uintptr_t handle, const char* configFile, const char* cryptType, const char* user,
                                 const char* request, char** reply, const ManagerOperation& operation) {
  SetAppWindowHandle(handle);
  if (reply == nullptr) return 0;
  *reply = nullptr;
  const char* const text = request != nullptr ? request : "";
  const ManagerAnswer answer = RunManagerCall(handle, configFile, cryptType, user, text, operation);
  *reply = NewText(answer.reply ? std::string_view(*answer.reply) : std::string_view(text));
  return answer.ok;
}

unsigned char RunListExport(uintptr_t handle, const char* configFile, char* list, char** params) {
  SetAppWindowHandle(handle);
  // Without a reply buffer there is nowhere to answer: refuse and write nothing.
  if (params == nullptr || *params == nullptr) return 0;
  const ListAnswer answer = RunListCall(configFile, list != nullptr);
  if (answer.list) CopyToCaller(list, *answer.list);
  if (answer.params) CopyToCaller(*params, *answer.params);
  return answer.ok;
}

unsigned char RunListExportEx(uintptr_t handle, const char* configFile, char** list, const char* request,
                              char** reply) {
  SetAppWindowHandle(handle);
  if (reply == nullptr) return 0;
  *reply = nullptr;
  if (list != nullptr) *list = nullptr;
  const ListAnswer answer = RunListCall(configFile, list != nullptr);
  if (list != nullptr) *list = NewText(answer.list ? std::string_view(*answer.list) : std::string_view());
  *reply =
      NewText(answer.params ? std::string_view(*answer.params) : std::string_view(request != nullptr ? request : ""));
  return answer.ok;
}

}  // namespace qorv
