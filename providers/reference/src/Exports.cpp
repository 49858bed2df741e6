// The contract's C functions. Each one runs its operation under a guard that turns every
// failure into ResultMsgStr: no exception leaves the library.
#include <openssl/crypto.h>
#include <openssl/err.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <type_traits>

#include "Failure.h"
#include "Messages.h"
#include "Operations.h"
#include "ParamText.h"
#include "QorvCryptProvider.h"
#include "platform/MessageText.h"
#include "platform/CallScope.h"
#include "platform/Threads.h"

namespace qorv_ref {
namespace {

// What InitCrypt received, kept until FinalCrypt, for each thread: the host runs each
// call sequence on its caller's thread and two threads may share the loaded library.
// A table of the provider's own rather than thread-local storage, so that nothing of it
// outlives the provider in a thread of the host.
class Sequences {
 public:
  void Begin(const std::string& initText) {
    platform::MutexLock lock(mutex_);
    std::string& text = texts_[platform::CurrentThreadId()];
    Wipe(text);
    text = initText;
  }
  void End() {
    platform::MutexLock lock(mutex_);
    const auto found = texts_.find(platform::CurrentThreadId());
    if (found == texts_.end()) return;
    Wipe(found->second);
    texts_.erase(found);
  }
  // The InitCrypt string of the calling thread's sequence; fails outside a sequence.
  std::string Current() {
    platform::MutexLock lock(mutex_);
    const auto found = texts_.find(platform::CurrentThreadId());
    if (found == texts_.end()) Fail(msg::NotInitialised());
    return found->second;
  }
  ~Sequences() {
    for (auto& entry : texts_) Wipe(entry.second);
  }

 private:
  static void Wipe(std::string& text) { OPENSSL_cleanse(text.data(), text.size()); }

  platform::Mutex mutex_;
  std::map<uint64_t, std::string> texts_;
};
Sequences g_sequences;

// The buffer holds the request whole, however long (at least the contract's size), so
// a reply may fill as much of it.
struct Buffer {
  char* data;
  size_t capacity;
};

Buffer BufferOf(char** params) {
  const size_t length = std::strlen(*params);
  return Buffer{*params, std::max<size_t>(QORVCRYPT_PROVIDER_BUFFER_SIZE, length + 1)};
}

void WriteBuffer(const Buffer& buffer, const std::string& text) {
  const size_t size = platform::CharacterPrefix(text, buffer.capacity - 1);
  std::memcpy(buffer.data, text.data(), size);
  buffer.data[size] = '\0';
}

// A reply holding the message only; a message too long for the buffer is cut at a
// character boundary.
void ReportFailure(const Buffer& buffer, const std::string& message, const std::string& keep = std::string()) noexcept {
  try {
    std::string reply = SetParam(keep, "ResultMsgStr", message);
    if (reply.size() >= buffer.capacity) reply = SetParam("", "ResultMsgStr", message);
    WriteBuffer(buffer, reply);
  } catch (...) {
    // No memory even for the message: a fixed text needs none.
    const char* fallback = platform::OutOfMemoryReply();
    const size_t size = std::min(std::strlen(fallback), buffer.capacity - 1);
    std::memcpy(buffer.data, fallback, size);
    buffer.data[size] = '\0';
  }
}

template <typename Operation>
unsigned char Guarded(char** params, Operation&& operation) noexcept {
  if (params == nullptr || *params == nullptr) return 0;
  const Buffer buffer = BufferOf(params);
  platform::BeginCall();
  unsigned char result = 0;
  try {
    result = operation(buffer, std::string(buffer.data)) ? 1 : 0;
  } catch (const Failure& failure) {
    ReportFailure(buffer, failure.what());
  } catch (const std::bad_alloc&) {
    ReportFailure(buffer, msg::OutOfMemory());
  } catch (...) {
    ReportFailure(buffer, msg::Internal());
  }
  // Nothing of this call stays in the thread's OpenSSL error queue, nor in the thread.
  ERR_clear_error();
  platform::EndCall();
  return result;
}

CallStrings SequenceWith(const std::string& op) { return CallStrings{g_sequences.Current(), op}; }

}  // namespace
}  // namespace qorv_ref

using namespace qorv_ref;

extern "C" {

QORVCRYPT_API unsigned char QORVCRYPT_CALL InitCrypt(uintptr_t /*Handle: no window is ever shown*/, char** Params) {
  return Guarded(Params, [](const Buffer&, const std::string& text) {
    g_sequences.Begin(text);
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL FinalCrypt(char** Params) {
  return Guarded(Params, [](const Buffer&, const std::string&) {
    g_sequences.End();
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL Encrypt(char** Params) {
  return Guarded(Params, [](const Buffer&, const std::string& text) {
    EncryptFile(SequenceWith(text));
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL Decrypt(char** Params) {
  return Guarded(Params, [](const Buffer&, const std::string& text) {
    DecryptFile(SequenceWith(text));
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL CreateCAFile(char** Params) {
  return Guarded(Params, [](const Buffer& buffer, const std::string& text) {
    WriteBuffer(buffer, CreateCertificateFiles(SequenceWith(text)));
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ChangeCAPassword(char** Params) {
  return Guarded(Params, [](const Buffer&, const std::string& text) {
    ChangeKeyPasswords(SequenceWith(text));
    return true;
  });
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ValidateCert(char** Params) {
  return Guarded(Params, [](const Buffer&, const std::string& text) {
    ValidateCertificates(SequenceWith(text));
    return true;
  });
}

// The whole reply goes back to the host's caller, so the request's keys stay in it.
QORVCRYPT_API unsigned char QORVCRYPT_CALL GetUSBCertFile(char** Params) {
  return Guarded(Params, [](const Buffer& buffer, const std::string& text) {
    ReportFailure(buffer, msg::NoUsbKey(), text);
    return false;
  });
}

}  // extern "C"

// The exports keep the contract's signatures.
static_assert(std::is_same_v<decltype(&InitCrypt), QorvProviderInitFn>);
static_assert(std::is_same_v<decltype(&Encrypt), QorvProviderFn>);
