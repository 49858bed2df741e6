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

/* Installs User's certificate set: copies the certificate and key files that Params
 * names (RootCertFile, EncCertFile, EncKeyFile, with EncKeyPwd; SignCertFile,
 * SignKeyFile, SignKeyPwd for two-pair types) into the library's store and records
 * them; the reply names the stored copies. In USB-key mode only the key passwords are
 * recorded. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL SetCaFile(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                     const char* User, char** Params);

/* Hands User's stored certificates out: copies the encryption (and signing)
 * certificate to the files Params names under EncCertFile (SignCertFile), or names the
 * stored files there when Params gives none. In USB-key mode the provider answers
 * whole. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCertFile(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                       const char* User, char** Params);

/* Asks the provider to create User's certificate files; on success Params is the
 * provider's reply, whole. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL CreateCAFile(uintptr_t Handle, const char* ConfigFile,
                                                        const char* CryptType, const char* User, char** Params);

/* Asks the provider to change the passwords of User's keys to NewEncKeyPwd (and
 * NewSignKeyPwd); keys taken from the store get their new passwords recorded there. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL ChangeCAPassword(uintptr_t Handle, const char* ConfigFile,
                                                            const char* CryptType, const char* User, char** Params);

/* Asks the provider to validate User's certificates, those Params names by EncKeyFile
 * (and SignKeyFile) or else the stored ones. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL ValidateCert(uintptr_t Handle, const char* ConfigFile,
                                                        const char* CryptType, const char* User, char** Params);

/* Records User's password (PassWord) for a password-mode crypto type. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL SetCryptParams(uintptr_t Handle, const char* ConfigFile,
                                                          const char* CryptType, const char* User, char** Params);

/* Installs the server's certificates (RevenueEncCertFile, and RevenueSignCertFile for
 * two-pair types) for the crypto type's RevenueCode; the reply names the stored copies. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL SetRevenueCAFile(uintptr_t Handle, const char* ConfigFile,
                                                            const char* CryptType, char** Params);
typedef unsigned char(QORVCRYPT_CALL* QorvTypeRequestFn)(uintptr_t Handle, const char* ConfigFile,
                                                         const char* CryptType, char** Params);

/* Lists the crypto types of ConfigFile into List, one "NAME=DESC" line ending in CR LF
 * per type. Params receives the empty text on success, the ResultMsgStr entry on
 * failure. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptList(uintptr_t Handle, const char* ConfigFile, char* List,
                                                        char** Params);
typedef unsigned char(QORVCRYPT_CALL* QorvGetCryptListFn)(uintptr_t Handle, const char* ConfigFile, char* List,
                                                          char** Params);

/* Sets *Version to the library's version, "MAJOR.MINOR.PATCH", a zero-terminated text
 * that the library owns and never changes: the caller does not free it. Returns 0, and
 * sets nothing, when Version is null. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL QorvGetVersion(const char** Version);
typedef unsigned char(QORVCRYPT_CALL* QorvGetVersionFn)(const char** Version);

#ifdef __cplusplus
}
#endif

#endif /* QORVCRYPTMANAGE_H */
