/*
 * A provider that does no work: every function answers 1 and leaves the buffer as it
 * came. Written in C so that loading and unloading it costs no more than a provider can.
 */
#include "QorvCryptProvider.h"

QORVCRYPT_API unsigned char QORVCRYPT_CALL InitCrypt(uintptr_t Handle, char** Params) {
  (void)Handle;
  (void)Params;
  return 1;
}

#define QORV_NOOP(name)                                            \
  QORVCRYPT_API unsigned char QORVCRYPT_CALL name(char** Params) { \
    (void)Params;                                                  \
    return 1;                                                      \
  }

QORV_NOOP(FinalCrypt)
QORV_NOOP(Encrypt)
QORV_NOOP(Decrypt)
QORV_NOOP(GetUSBCertFile)
QORV_NOOP(CreateCAFile)
QORV_NOOP(ChangeCAPassword)
QORV_NOOP(ValidateCert)
