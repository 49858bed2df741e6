/*
 * The contract of a QorvCryptManage provider library: the library that does the
 * cryptography for a crypto type. QorvCryptManage loads it by path, finds these
 * functions by name and calls them, per request: InitCrypt, one operation, FinalCrypt.
 *
 * Every function takes the address of a pointer to a zero-filled buffer of at least
 * QORVCRYPT_PROVIDER_BUFFER_SIZE bytes holding the input parameter string; it may
 * overwrite the buffer with its output, zero-terminated, within those bytes, and must
 * leave the pointer unchanged (the library reads no more than the buffer's size at
 * whatever pointer it leaves). It returns non-zero for success; on failure the output
 * should hold the reason under ResultMsgStr. A reason longer than
 * QORVCRYPT_PROVIDER_MESSAGE_MAX bytes reaches the host cut to that length, between two
 * characters (GBK on Windows, UTF-8 elsewhere).
 *
 * Required: InitCrypt, Encrypt, Decrypt, FinalCrypt, GetUSBCertFile.
 * Optional: CreateCAFile, ChangeCAPassword, ValidateCert.
 */
#ifndef QORVCRYPTPROVIDER_H
#define QORVCRYPTPROVIDER_H

#include "QorvCryptCall.h"

#define QORVCRYPT_PROVIDER_BUFFER_SIZE 10240
#define QORVCRYPT_PROVIDER_MESSAGE_MAX 1024

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char(QORVCRYPT_CALL* QorvProviderInitFn)(uintptr_t Handle, char** Params);
typedef unsigned char(QORVCRYPT_CALL* QorvProviderFn)(char** Params);

#ifdef __cplusplus
}
#endif

#endif /* QORVCRYPTPROVIDER_H */
