/*
 * QorvCryptManage: encryption and certificate management for host programs.
 *
 * Every function returns 1 on success and 0 on failure; on failure the text behind
 * Params holds the reason under the key ResultMsgStr. Texts are zero-terminated: in the
 * ANSI code page on Windows, UTF-8 elsewhere. Params is the address of the caller's
 * text pointer; the reply is copied over the request into that buffer, which the caller
 * must size for the request plus whatever the call adds.
 */
#ifndef QORVCRYPTMANAGE_H
#define QORVCRYPTMANAGE_H

#include "QorvCryptCall.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Encrypts (Decrypt: decrypts) SourceFile into TargetFile with the crypto type's
 * provider and the credentials stored for User. Params comes back unchanged on success. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL Encrypt(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                   const char* User, const char* SourceFile, const char* TargetFile,
                                                   char** Params);
QORVCRYPT_API unsigned char QORVCRYPT_CALL Decrypt(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                   const char* User, const char* SourceFile, const char* TargetFile,
                                                   char** Params);
typedef unsigned char(QORVCRYPT_CALL* QorvCryptFileFn)(uintptr_t Handle, const char* ConfigFile,
                                                       const char* CryptType, const char* User,
                                                       const char* SourceFile, const char* TargetFile, char** Params);

/* Adds to Params the crypto type's settings (extension parameters, CAMode, Mode,
 * CAISMULTI, DESC) and the credentials stored for User and the server. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptInfo(uintptr_t Handle, const char* ConfigFile,
                                                        const char* CryptType, const char* User, char** Params);
typedef unsigned char(QORVCRYPT_CALL* QorvUserRequestFn)(uintptr_t Handle, const char* ConfigFile,
                                                         const char* CryptType, const char* User, char** Params);

/* Lists the crypto types of ConfigFile into List, one "NAME=DESC" line ending in CR LF
 * per type. Params receives the empty text on success, the ResultMsgStr entry on
 * failure. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptList(uintptr_t Handle, const char* ConfigFile, char* List,
                                                        char** Params);
typedef unsigned char(QORVCRYPT_CALL* QorvGetCryptListFn)(uintptr_t Handle, const char* ConfigFile, char* List,
                                                          char** Params);

#ifdef __cplusplus
}
#endif

#endif /* QORVCRYPTMANAGE_H */
