/* Calling convention and export attribute shared by QorvCryptManage's headers. */
#ifndef QORVCRYPTCALL_H
#define QORVCRYPTCALL_H

#include <stdint.h>

#if defined(_WIN32)
#define QORVCRYPT_CALL __stdcall
#define QORVCRYPT_API
#else
#define QORVCRYPT_CALL
#define QORVCRYPT_API __attribute__((visibility("default")))
#endif

#endif /* QORVCRYPTCALL_H */
