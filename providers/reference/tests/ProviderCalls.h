// Calling the provider's exports as the host does: a zero-filled buffer per call of
// 10,240 bytes (more for a longer input, which it holds whole), InitCrypt, one
// operation, FinalCrypt.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "QorvCryptProvider.h"

extern "C" {
unsigned char QORVCRYPT_CALL InitCrypt(uintptr_t Handle, char** Params);
unsigned char QORVCRYPT_CALL Encrypt(char** Params);
unsigned char QORVCRYPT_CALL Decrypt(char** Params);
unsigned char QORVCRYPT_CALL FinalCrypt(char** Params);
unsigned char QORVCRYPT_CALL GetUSBCertFile(char** Params);
unsigned char QORVCRYPT_CALL CreateCAFile(char** Params);
unsigned char QORVCRYPT_CALL ChangeCAPassword(char** Params);
unsigned char QORVCRYPT_CALL ValidateCert(char** Params);
}

namespace qorv_ref::test {

struct Reply {
  bool ok = false;
  std::string text;
  std::string Message() const;
};

Reply Call(QorvProviderFn function, const std::string& input);
// InitCrypt with init, then function with op, then FinalCrypt.
Reply RunSequence(const std::string& init, QorvProviderFn function, const std::string& op);

// A parameter string from name/value pairs, in order.
std::string Params(std::initializer_list<std::pair<std::string, std::string>> entries);
std::string With(const std::string& text, const std::string& name, const std::string& value);

// A fresh folder, removed with its content afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // With the system's separator, as the provider's own paths come back.
  std::string File(const std::string& name) const;
  std::string Write(const std::string& name, const std::string& bytes) const;
  // Names of the entries, sorted: shows leftovers such as temporary files.
  std::vector<std::string> Names() const;

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Reproducible bytes that do not repeat within a segment.
std::string SampleBytes(size_t size, unsigned seed = 1);

}  // namespace qorv_ref::test
