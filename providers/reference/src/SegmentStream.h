// The encrypted file format shared by every mode. All integers are big-endian.
//
// Header
//   0   4  magic "QRVF"
//   4   1  format version, 1
//   5   1  mode: 1 certificate, 2 password, 3 key file
//   6   1  flags: bit 0 = a signature record follows the data (certificate mode)
//   7   1  reserved, 0
//   8   4  segment size: plaintext bytes per data record, 1 KiB to 1 MiB (1 MiB when
//          written; files of 64 KiB segments are as valid)
//   12  32 salt, random per file
//   44  4  length n of the mode parameters (at most 64 KiB)
//   48  n  mode parameters: certificate mode, CMS (Auth)EnvelopedData carrying the
//          32-byte file key; password mode, KDF id 1 (scrypt), log2 N, r (u32), p (u32);
//          key-file mode, none
//   48+n 32 check: HMAC-SHA256 under the check key over the header bytes before it
//
// Records, until the end of the file
//   kind (1: 0 data, 1 last data, 2 signature), length L (4), L bytes of AES-256-GCM
//   ciphertext and 16-byte tag. Nonce: record number (8) || kind (1) || 0 0 0; the
//   associated data is SHA-256 of the whole header. Exactly one last-data record ends
//   the data (an empty file has just that, empty); with the signed flag one signature
//   record follows it. A dropped, reordered, repeated or altered record fails its tag,
//   a missing end is a truncation, and nothing may follow the end.
//
// Keys: the mode yields a 32-byte master key (the CMS file key, scrypt of the password,
// the key file's key); HKDF-SHA256 with the salt turns it into the record key and the
// check key, so a key file's key is never used directly and records never share a nonce.
#pragma once

#include <cstdint>
#include <string>

#include "Ossl.h"
#include "WriteBehind.h"
#include "platform/SourceFile.h"

namespace qorv_ref {

using platform::SourceFile;

enum class FileMode : uint8_t { Certificate = 1, Password = 2, KeyFile = 3 };
enum class RecordKind : uint8_t { Data = 0, LastData = 1, Signature = 2 };

constexpr uint8_t kFlagSigned = 0x01;
constexpr size_t kKeySize = 32;
constexpr size_t kSaltSize = 32;
constexpr uint32_t kSegmentSize = 1024 * 1024;
constexpr uint32_t kMinSegmentSize = 1024;
constexpr uint32_t kMaxSegmentSize = 1024 * 1024;
constexpr uint32_t kMaxParamsSize = 64 * 1024;
// Large enough for a CMS SignedData holding the signer's certificate.
constexpr uint32_t kMaxSignatureSize = 64 * 1024;

struct Header {
  FileMode mode = FileMode::KeyFile;
  uint8_t flags = 0;
  uint32_t segmentSize = kSegmentSize;
  Bytes salt;
  Bytes params;
  Bytes check;

  bool signedContent() const { return (flags & kFlagSigned) != 0; }
  // Everything the check covers, that is the header without the check.
  Bytes Body() const;
  Bytes Serialize() const;
};

// Reads and range-checks a header; refuses anything that is not one of ours.
Header ReadHeader(SourceFile& in);

struct StreamKeys {
  SecretBytes record{kKeySize};
  SecretBytes check{kKeySize};
};
StreamKeys DeriveStreamKeys(const SecretBytes& master, const Bytes& salt);

Bytes HeaderCheck(const SecretBytes& checkKey, const Bytes& body);
bool CheckMatches(const Bytes& expected, const Bytes& actual);

Bytes Sha256(const Bytes& data);
Bytes RandomBytes(size_t size);

// Records are sealed in place: the plaintext is read into a block of the writer at
// kPlainOffset, and Seal turns the block into the record and queues it.
// A record begins with its kind (1 byte) and the length of what follows (4 bytes).
constexpr size_t kRecordHeadSize = 5;

class RecordWriter {
 public:
  static constexpr size_t kPlainOffset = kRecordHeadSize;
  static constexpr size_t kTagSize = 16;
  static constexpr size_t BlockSize(size_t plain) { return kPlainOffset + plain + kTagSize; }

  RecordWriter(WriteBehind& out, const SecretBytes& key, Bytes aad);
  // Seals the size bytes of plaintext at kPlainOffset of block and submits the block.
  void Seal(RecordKind kind, Bytes& block, size_t size);
  void Put(RecordKind kind, const unsigned char* data, size_t size);

 private:
  WriteBehind& out_;
  CipherCtxPtr ctx_;
  Bytes aad_;
  uint64_t number_ = 0;
};

class RecordReader {
 public:
  RecordReader(SourceFile& in, const SecretBytes& key, Bytes aad);
  // The next record's plaintext (into plain, resized) and kind; false at the end of the
  // file. A record cut short reads as a truncation, one that fails its tag as tampering.
  bool Next(RecordKind& kind, Bytes& plain, uint32_t maxPlain);
  bool AtEnd();

 private:
  SourceFile& in_;
  CipherCtxPtr ctx_;
  Bytes aad_;
  // The head of the next record, read together with the body of the one before.
  unsigned char head_[kRecordHeadSize] = {};
  size_t headSize_ = 0;
  uint64_t number_ = 0;
};

}  // namespace qorv_ref
