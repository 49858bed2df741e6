// Where the stores keep their files, and how stored paths turn back into full paths.
// For a folder L holding the CA folder, crypto type T and user U:
//   L/CA/T/UserCa_T.ini   the certificate set file, with the stored passwords
//   L/CA/T/U/             copies of U's certificate and key files
// with the target's separator. Production passes ModuleDir() as L.
#pragma once

#include <string>

namespace qorv {

// WithTrailingBackslash(caRoot + "CA" + separator + cryptType).
std::string CryptTypeDir(const std::string& caRoot, const std::string& cryptType);

// CryptTypeDir + "UserCa_" + cryptType + ".ini".
std::string CertificateSetFileName(const std::string& caRoot, const std::string& cryptType);

// A path read from the certificate set file as a full path. Relative ones were written
// relative to the host program's folder and resolve against it, whatever the current
// directory; empty stays empty.
std::string FullStoredPath(const std::string& stored);

}  // namespace qorv
