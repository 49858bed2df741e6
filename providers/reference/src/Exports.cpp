// The contract's C functions. Each one runs its operation under a guard that turns every
// failure into ResultMsgStr: no exception leaves the library.
#include <openssl/crypto.h>
#include <openssl/err.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "Failure.h"
#include "Messages.h"
#include "Operations.h"
#include "ParamText.h"
#include "QorvCryptProvider.h"

namespace qorv_ref {
namespace {

constexpr size_t kBufferSize = QORVCRYPT_PROVIDER_BUFFER_SIZE;

// What InitCrypt received, kept until FinalCrypt. Per thread, because the host runs each
// call sequence on its caller's thread and two threads may share the loaded library.
// A plain pointer, so that no thread-exit destructor pins the library in memory.
thread_local std::string* t_initText = nullptr;

void ForgetSequence() {
  if (t_initText == nullptr) return;
  OPENSSL_cleanse(t_initText->data(), t_initText->size());
  delete t_initText;
  t_initText = nullptr;
}

std::string ReadBuffer(char** params) { return std::string(*params, ::strnlen(*params, kBufferSize)); }

void WriteBuffer(char** params, const std::string& text) {
  const size_t size = std::min(text.size(), kBufferSize - 1);
  std::memcpy(*params, text.data(), size);
  (*params)[size] = '\0';
}

// A reply holding the message only; a message too long for the buffer is cut at a
// character boundary.
void ReportFailure(char** params, const std::string& message, const std::string& keep = std::string()) noexcept {
  try {
    std::string reply = SetParam(keep, "ResultMsgStr", message);
    if (reply.size() >= kBufferSize) {
      reply = SetParam("", "ResultMsgStr", message);
      size_t cut = kBufferSize - 1;
      while (cut > 0 && (static_cast<unsigned char>(reply[cut]) & 0xC0) == 0x80) --cut;
      reply.resize(cut);
    }
    WriteBuffer(params, reply);
  } catch (...) {
    // No memory even for the message: a fixed text needs none.
    static const char kFallback[] = "ResultMsgStr=内存不足，加解密组件无法完成操作！";
    std::memcpy(*params, kFallback, sizeof kFallback);
  }
}

template <typename Operation>
unsigned char Guarded(char** params, Operation&& operation) {
  if (params == nullptr || *params == nullptr) return 0;
  unsigned char result = 0;
  try {
    result = operation(ReadBuffer(params)) ? 1 : 0;
  } catch (const Failure& failure) {
    ReportFailure(params, failure.what());
  } catch (const std::bad_alloc&) {
    ReportFailure(params, msg::OutOfMemory());
  } catch (...) {
    ReportFailure(params, msg::Internal());
  }
  // Nothing of this call stays in the thread's OpenSSL error queue.
  ERR_clear_error();
  return result;
}

CallStrings SequenceWith(const std::string& op) {
  if (t_initText == nullptr) Fail(msg::NotInitialised());
  return CallStrings{*t_initText, op};
}

}  // namespace
}  // namespace qorv_ref

using namespace qorv_ref;

extern "C" {

QORVCRYPT_API unsigned char QORVCRYPT_CALL InitCrypt(uintptr_t /*Handle: no window is ever shown*/, char** Params) {
  return Guarded(Params, [](const std::string& text) {
    ForgetSequence();
    t_initText = new std::string(text);
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL FinalCrypt(char** Params) {
  return Guarded(Params, [](const std::string&) {
    ForgetSequence();
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL Encrypt(char** Params) {
  return Guarded(Params, [](const std::string& text) {
    EncryptFile(SequenceWith(text));
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL Decrypt(char** Params) {
  return Guarded(Params, [](const std::string& text) {
    DecryptFile(SequenceWith(text));
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL CreateCAFile(char** Params) {
  return Guarded(Params, [Params](const std::string& text) {
    WriteBuffer(Params, CreateCertificateFiles(SequenceWith(text)));
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ChangeCAPassword(char** Params) {
  return Guarded(Params, [](const std::string& text) {
    ChangeKeyPasswords(SequenceWith(text));
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ValidateCert(char** Params) {
  return Guarded(Params, [](const std::string& text) {
    ValidateCertificates(SequenceWith(text));
    return true;
  });
}

// The whole reply goes back to the host's caller, so the request's keys stay in it.
QORVCRYPT_API unsigned char QORVCRYPT_CALL GetUSBCertFile(char** Params) {
  return Guarded(Params, [Params](const std::string& text) {
    ReportFailure(Params, msg::NoUsbKey(), text);
    return false;
  });
}

}  // extern "C"

// The exports keep the contract's signatures.
static_assert(std::is_same_v<decltype(&InitCrypt), QorvProviderInitFn>);
static_assert(std::is_same_v<decltype(&Encrypt), QorvProviderFn>);
