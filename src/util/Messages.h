// The library's fixed texts, in one place. Each comes back in the message encoding of
// the target (GBK bytes on Windows, UTF-8 on POSIX); paths and names given by callers
// are inserted as they stand.
#pragma once

#include <string>
#include <string_view>

namespace qorv::msg {

// Configuration file
std::string ConfigFileMissing(std::string_view path);
std::string ConfigReadError(std::string_view path);
std::string ConfigIncorrect();
std::string ConfigNameEmpty();
std::string CryptTypeNotConfigured(std::string_view path, std::string_view cryptType);

// Crypto type listing
std::string ListParseError(std::string_view path);
std::string ListConfigIncorrect(std::string_view path);
std::string ListBufferMissing();

// Modes of a crypto type
std::string CertificateModeRequired();
std::string CertificateFilesRequired();
std::string PasswordModeRequired();

// Certificate and password stores
std::string ServerCertificateMissing();
std::string UserCertificateMissing();
std::string UnsafeStoreName(std::string_view name);
std::string ReservedUserName(std::string_view name);
std::string CertificateFileNotRegular(std::string_view path);
std::string CertificateFileTooLarge(std::string_view path);
std::string PasswordTooLongToStore();
std::string PathTooLongToStore(std::string_view path);

// Installing and handing out certificates
std::string UserCertificateFilesNotFound();
std::string UserCertificateFilesSaveFailed();
std::string UserCertificatePasswordsSaveFailed();
std::string ServerCertificateFilesNotFound();
std::string ServerCertificateFilesSaveFailed();
std::string EncCertificateNotFound();
std::string EncCertificateCopyFailed();
std::string SignCertificateNotFound();
std::string SignCertificateCopyFailed();

// Key passwords, validation and stored passwords
std::string PasswordChangeCertificateMissing();
std::string NewKeyPasswordsNotRecorded();
std::string StoredKeyPasswordsNotWritable();
std::string ValidationCertificateMissing();
std::string UserPasswordSaveFailed();

// Provider libraries
std::string ProviderLoadFailed(std::string_view fullLibPath);
std::string ProviderRaised(std::string_view functionName);
std::string ProviderNotSupported();

// Failures no operation foresaw, caught at the library boundary
std::string UnexpectedError();

}  // namespace qorv::msg
