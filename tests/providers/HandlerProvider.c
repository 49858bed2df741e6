/*
 * A provider for tests that installs handlers pointing into its own code when it is
 * initialised and leaves them there when it is unloaded: a SIGTERM handler through the
 * C library's signal(), and those of ProviderHandlers.h. Every function answers 1.
 */
#include <signal.h>

#include "QorvCryptProvider.h"
#include "providers/ProviderHandlers.h"

static void OnSignal(int number) { (void)number; }

QORVCRYPT_API unsigned char QORVCRYPT_CALL InitCrypt(uintptr_t Handle, char** Params) {
  (void)Handle;
  (void)Params;
  signal(SIGTERM, OnSignal);
  InstallTargetHandlers();
  return 1;
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL FinalCrypt(char** Params) {
  (void)Params;
  return 1;
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL Encrypt(char** Params) {
  (void)Params;
  return 1;
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL Decrypt(char** Params) {
  (void)Params;
  return 1;
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetUSBCertFile(char** Params) {
  (void)Params;
  return 1;
}
