// A provider built as a mingw C++ provider is when nothing is done about its runtime:
// libstdc++ and winpthreads linked statically, and a C++ exception thrown and caught in
// every call. On i686 every load of it takes a thread-local-storage slot that its unload
// does not give back (the unwinder's, in winpthreads).
#include <stdexcept>

#include "QorvCryptProvider.h"

namespace {

unsigned char ThrowAndCatch() {
  try {
    throw std::runtime_error("handled inside the provider");
  } catch (const std::exception&) {
    return 1;
  }
}

}  // namespace

extern "C" {

QORVCRYPT_API unsigned char QORVCRYPT_CALL InitCrypt(uintptr_t, char**) { return ThrowAndCatch(); }
QORVCRYPT_API unsigned char QORVCRYPT_CALL FinalCrypt(char**) { return ThrowAndCatch(); }
QORVCRYPT_API unsigned char QORVCRYPT_CALL Encrypt(char**) { return ThrowAndCatch(); }
QORVCRYPT_API unsigned char QORVCRYPT_CALL Decrypt(char**) { return ThrowAndCatch(); }
QORVCRYPT_API unsigned char QORVCRYPT_CALL GetUSBCertFile(char**) { return ThrowAndCatch(); }

}  // extern "C"
