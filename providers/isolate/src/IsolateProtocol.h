/*
 * The exchange between the isolating provider and its helper process
 * (qorvcrypt-provider-host): one request per provider call, one reply to each, over one
 * byte stream. Every number is little-endian; every length is checked against
 * QORVCRYPT_PROVIDER_BUFFER_SIZE before anything is read behind it.
 *
 *   request: magic, function, window handle (8 bytes), length, length bytes of buffer
 *   reply:   magic, status, result, length, length bytes of buffer
 *
 * The buffer is the provider's call buffer: the text it holds, without the zero byte
 * that ends it, or the whole buffer when the provider left it unterminated. A call
 * buffer holds QORVCRYPT_PROVIDER_BUFFER_SIZE bytes, or the request and its zero byte
 * when that is longer (as the library hands one to a provider); a request is at most
 * ISO_MAX_REQUEST bytes, a reply at most the call buffer's size. The helper ends itself
 * after answering FinalCrypt, and when the stream ends.
 */
#ifndef QORV_ISOLATE_PROTOCOL_H
#define QORV_ISOLATE_PROTOCOL_H

#include <stddef.h>
#include <stdint.h>

#include "QorvCryptProvider.h"

#define ISO_MAGIC_REQUEST 0x51534951u /* "QISQ" */
#define ISO_MAGIC_REPLY 0x52534951u   /* "QISR" */
#define ISO_REQUEST_HEAD_SIZE 20
#define ISO_REPLY_HEAD_SIZE 16
#define ISO_BUFFER_SIZE QORVCRYPT_PROVIDER_BUFFER_SIZE
#define ISO_MAX_REQUEST (4u * 1024 * 1024)

/* The provider's functions, in the order of the contract header. */
typedef enum {
  ISO_INIT_CRYPT = 0,
  ISO_ENCRYPT,
  ISO_DECRYPT,
  ISO_FINAL_CRYPT,
  ISO_GET_USB_CERT_FILE,
  ISO_CREATE_CA_FILE,
  ISO_CHANGE_CA_PASSWORD,
  ISO_VALIDATE_CERT,
  ISO_FUNCTION_COUNT
} IsoFunction;

/* What the helper did with a request. */
typedef enum {
  ISO_STATUS_ANSWERED = 0,   /* the provider ran: result and buffer are its own */
  ISO_STATUS_NOT_LOADED = 1, /* the helper could not load the provider */
  ISO_STATUS_MISSING = 2     /* the provider lacks the function */
} IsoStatus;

static const char* const kIsoFunctionNames[ISO_FUNCTION_COUNT] = {"InitCrypt",        "Encrypt",        "Decrypt",
                                                                  "FinalCrypt",       "GetUSBCertFile", "CreateCAFile",
                                                                  "ChangeCAPassword", "ValidateCert"};

static inline void IsoPut32(unsigned char* at, uint32_t value) {
  at[0] = (unsigned char)value;
  at[1] = (unsigned char)(value >> 8);
  at[2] = (unsigned char)(value >> 16);
  at[3] = (unsigned char)(value >> 24);
}

static inline uint32_t IsoGet32(const unsigned char* at) {
  return (uint32_t)at[0] | (uint32_t)at[1] << 8 | (uint32_t)at[2] << 16 | (uint32_t)at[3] << 24;
}

static inline void IsoPut64(unsigned char* at, uint64_t value) {
  IsoPut32(at, (uint32_t)value);
  IsoPut32(at + 4, (uint32_t)(value >> 32));
}

static inline uint64_t IsoGet64(const unsigned char* at) {
  return (uint64_t)IsoGet32(at) | (uint64_t)IsoGet32(at + 4) << 32;
}

/* The size of the call buffer for a request of length bytes. */
static inline size_t IsoCallBufferSize(size_t length) {
  return length < ISO_BUFFER_SIZE ? ISO_BUFFER_SIZE : length + 1;
}

/* The length of the text at text: up to its zero byte, or max when none comes first. */
static inline size_t IsoTextLength(const char* text, size_t max) {
  size_t length = 0;
  while (length < max && text[length] != '\0') ++length;
  return length;
}

#endif
