// Why the last store operation failed, for the operations to turn into a message.
#pragma once

namespace qorv {

enum class StoreStatus {
  Ok,
  UnsafeName,       // the user, record or crypto type name cannot name a folder or section; nothing was touched
  FileMissing,      // a named certificate file does not exist
  NotRegularFile,   // a named certificate file is a folder, FIFO, device or socket; nothing was copied
  FileTooLarge,     // a named certificate file is larger than any certificate or key; nothing was copied
  PasswordTooLong,  // a password's stored form would not read back whole; nothing was written
  PathTooLong,      // a copy's stored path would not read back whole; nothing was written
  CopyFailed,       // a certificate file could not be copied into the set's folder
  WriteFailed,      // the certificate set file could not be saved; it is as it was
};

}  // namespace qorv
