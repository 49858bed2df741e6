/*
 * QorvCryptManage: encryption and certificate management for host programs.
 *
 * Every function returns 1 on success and 0 on failure; on failure the reply holds the
 * reason under the key ResultMsgStr. Texts are zero-terminated: in the ANSI code page on
 * Windows, UTF-8 elsewhere.
 *
 * The eleven functions of the first version take Params, the address of the caller's
 * text pointer: the reply is copied over the request into that buffer, which the caller
 * must size for the request plus whatever the call adds (see "Reply sizes" below). Each
 * has a <Name>Ex twin (at the end of this header) whose reply the library allocates, so
 * that no reply can overrun a buffer: new hosts should use those.
 *
 * Reply sizes. For a request of n bytes (the text behind Params, its terminating zero
 * not counted) a function writes at most the following bytes, plus the zero. Escaping
 * can make one byte of a value five ("&lim%"); an entry the library sets takes at most
 * 2 + 5 * (the bytes of its name and value) more than the request had.
 *   - A failure adds one ResultMsgStr entry: at most n + 14 + 5 * m, for a message of
 *     m bytes. A provider's message is at most QORVCRYPT_PROVIDER_MESSAGE_MAX (1,024)
 *     bytes: a longer one is cut, between two characters. The library's own messages
 *     are at most 256 bytes besides the paths and names they quote: the ConfigFile,
 *     CryptType and User arguments, and the crypto type's LIBPATH (in full form) and
 *     RevenueCode.
 *   - Encrypt, Decrypt, ValidateCert, ChangeCAPassword succeed with the request
 *     unchanged: n.
 *   - SetCryptParams succeeds with PassWord set again to the password it stored, taken
 *     from the request: at most 4 * n + 10.
 *   - GetCryptInfo, SetCaFile, SetRevenueCAFile and GetCertFile in certificate-file mode
 *     succeed with the request plus the entries they set (the crypto type's settings,
 *     the stored credentials, the paths of the stored copies).
 *   - CreateCAFile succeeds with the provider's reply, whole: at most
 *     max(QORVCRYPT_PROVIDER_BUFFER_SIZE, 6 + 5 * the bytes of User).
 *   - GetCertFile in USB-key mode answers with the provider's reply, whole, also on
 *     failure: at most max(QORVCRYPT_PROVIDER_BUFFER_SIZE, n + 1); before the provider
 *     answers, a failure is as above.
 *   - GetCryptList writes at most 14 + 5 * m into Params (nothing but the zero on
 *     success) and at most three times the configuration file's size into List.
 */
#ifndef QORVCRYPTMANAGE_H
#define QORVCRYPTMANAGE_H

#include "QorvCryptCall.h"
#include "QorvCryptProvider.h"

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

/*
 * The same functions with replies the library allocates. Each takes the arguments of its
 * twin, except that char** Params becomes const char* Request (the request; a null
 * pointer reads as the empty text) and char** Reply; GetCryptListEx takes char** List
 * for char* List as well. It runs the same operation and sets *Reply (and *List) to a
 * zero-terminated text of its own holding exactly what the twin would have written into
 * its buffers (for GetCryptListEx's List on failure, the empty text). The host releases
 * each with QorvFreeText. A null Reply gives 0 and nothing is done; a null List is
 * refused as GetCryptList refuses it. *Reply is null only when the library could not
 * allocate the reply; the result is then still the operation's.
 */
QORVCRYPT_API unsigned char QORVCRYPT_CALL EncryptEx(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                     const char* User, const char* SourceFile, const char* TargetFile,
                                                     const char* Request, char** Reply);
QORVCRYPT_API unsigned char QORVCRYPT_CALL DecryptEx(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                     const char* User, const char* SourceFile, const char* TargetFile,
                                                     const char* Request, char** Reply);
typedef unsigned char(QORVCRYPT_CALL* QorvCryptFileExFn)(uintptr_t Handle, const char* ConfigFile,
                                                         const char* CryptType, const char* User,
                                                         const char* SourceFile, const char* TargetFile,
                                                         const char* Request, char** Reply);

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptInfoEx(uintptr_t Handle, const char* ConfigFile,
                                                          const char* CryptType, const char* User, const char* Request,
                                                          char** Reply);
QORVCRYPT_API unsigned char QORVCRYPT_CALL SetCaFileEx(uintptr_t Handle, const char* ConfigFile, const char* CryptType,
                                                       const char* User, const char* Request, char** Reply);
QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCertFileEx(uintptr_t Handle, const char* ConfigFile,
                                                         const char* CryptType, const char* User, const char* Request,
                                                         char** Reply);
QORVCRYPT_API unsigned char QORVCRYPT_CALL CreateCAFileEx(uintptr_t Handle, const char* ConfigFile,
                                                          const char* CryptType, const char* User, const char* Request,
                                                          char** Reply);
QORVCRYPT_API unsigned char QORVCRYPT_CALL ChangeCAPasswordEx(uintptr_t Handle, const char* ConfigFile,
                                                              const char* CryptType, const char* User,
                                                              const char* Request, char** Reply);
QORVCRYPT_API unsigned char QORVCRYPT_CALL ValidateCertEx(uintptr_t Handle, const char* ConfigFile,
                                                          const char* CryptType, const char* User, const char* Request,
                                                          char** Reply);
QORVCRYPT_API unsigned char QORVCRYPT_CALL SetCryptParamsEx(uintptr_t Handle, const char* ConfigFile,
                                                            const char* CryptType, const char* User,
                                                            const char* Request, char** Reply);
typedef unsigned char(QORVCRYPT_CALL* QorvUserRequestExFn)(uintptr_t Handle, const char* ConfigFile,
                                                           const char* CryptType, const char* User, const char* Request,
                                                           char** Reply);

QORVCRYPT_API unsigned char QORVCRYPT_CALL SetRevenueCAFileEx(uintptr_t Handle, const char* ConfigFile,
                                                              const char* CryptType, const char* Request, char** Reply);
typedef unsigned char(QORVCRYPT_CALL* QorvTypeRequestExFn)(uintptr_t Handle, const char* ConfigFile,
                                                           const char* CryptType, const char* Request, char** Reply);

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetCryptListEx(uintptr_t Handle, const char* ConfigFile, char** List,
                                                          const char* Request, char** Reply);
typedef unsigned char(QORVCRYPT_CALL* QorvGetCryptListExFn)(uintptr_t Handle, const char* ConfigFile, char** List,
                                                            const char* Request, char** Reply);

/* Releases a text that a <Name>Ex function allocated. A null Text is ignored. */
QORVCRYPT_API void QORVCRYPT_CALL QorvFreeText(char* Text);
typedef void(QORVCRYPT_CALL* QorvFreeTextFn)(char* Text);

/* Sets *Version to the library's version, "MAJOR.MINOR.PATCH", a zero-terminated text
 * that the library owns and never changes: the caller does not free it (not with
 * QorvFreeText either). Returns 0, and sets nothing, when Version is null. A host that
 * needs a feature of a later version asks before it calls. */
QORVCRYPT_API unsigned char QORVCRYPT_CALL QorvGetVersion(const char** Version);
typedef unsigned char(QORVCRYPT_CALL* QorvGetVersionFn)(const char** Version);

#ifdef __cplusplus
}
#endif

#endif /* QORVCRYPTMANAGE_H */
