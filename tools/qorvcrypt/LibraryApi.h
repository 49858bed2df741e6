// The library as qorvcrypt sees it: loaded by path, its exports found by name, and the
// texts its <Name>Ex exports allocate.
#pragma once

#include <string>

#include "QorvCryptManage.h"
#include "platform/DynamicLibrary.h"

namespace qorvcrypt {

class LibraryApi {
 public:
  // Loads the library at path; empty means the library beside this program. It must
  // export QorvFreeText.
  bool Load(const std::string& path, std::string& error);
  // The same without asking for QorvFreeText, for callers that use no Ex export.
  bool Open(const std::string& path, std::string& error);
  // The path it was loaded from.
  const std::string& Path() const { return path_; }

  // Address of an export, or null (with error set) when the library lacks it.
  template <typename Fn>
  Fn Find(const char* name, std::string& error) const {
    auto fn = reinterpret_cast<Fn>(library_.Symbol(name));
    if (fn == nullptr) error = std::string("the library does not export ") + name;
    return fn;
  }

  QorvFreeTextFn FreeText() const { return freeText_; }

 private:
  qorv::platform::DynamicLibrary library_;
  std::string path_;
  QorvFreeTextFn freeText_ = nullptr;
};

// A text an Ex export hands out through Out(), released with the library's QorvFreeText.
class LibraryText {
 public:
  explicit LibraryText(const LibraryApi& api) : freeText_(api.FreeText()) {}
  ~LibraryText() { freeText_(text_); }
  LibraryText(const LibraryText&) = delete;
  LibraryText& operator=(const LibraryText&) = delete;

  char** Out() { return &text_; }
  // The text, empty when the library could not allocate it.
  const char* Text() const { return text_ != nullptr ? text_ : ""; }

 private:
  QorvFreeTextFn freeText_;
  char* text_ = nullptr;
};

}  // namespace qorvcrypt
