// What user certificate sets and server certificate records share: the crypto type,
// the INI section, the two-pair flag, the folders and file, and the copying of one file
// into the set's folder. See StorePaths.h for the layout.
#pragma once

#include <string>

#include "store/IniFile.h"
#include "store/StoreStatus.h"

namespace qorv {

class TCaFile {
 public:
  virtual ~TCaFile() = default;
  TCaFile(const TCaFile&) = delete;
  TCaFile& operator=(const TCaFile&) = delete;

  // False when the certificate set file does not exist (fields untouched) or a name is
  // unsafe; otherwise reads the set's section.
  virtual bool LoadFromIni() = 0;
  // Whether the set's required files are named and exist.
  virtual bool FilesPresent() const = 0;
  // Copies the named files into CertDir, then writes the section in one save. False,
  // with LastStatus saying why, when a name is unsafe (nothing is touched), a file is
  // missing or cannot be copied (nothing is written), or the save fails.
  virtual bool SaveToIni() = 0;
  // params with the set's values set under their parameter keys.
  virtual std::string PutToParams(const std::string& params) const = 0;
  // Every field replaced by the value under its parameter key (empty when absent).
  virtual void TakeFromParams(const std::string& params) = 0;

  // Copies the file named by pathField into certDir (created when missing) and points
  // pathField at the copy. True without copying when pathField is empty or already
  // names that copy; false, pathField unchanged, when the file is missing or the copy
  // fails. A read-only file in the way is replaced.
  bool ImportCertFile(std::string& pathField, const std::string& certDir);

  std::string IniFileName() const;
  std::string CaDir() const;
  // WithTrailingBackslash(CaDir + FSection): the set's own folder.
  std::string CertDir() const;

  // Why the last LoadFromIni, SaveToIni, SavePasswords or ImportCertFile failed; Ok
  // after success and after a load that found no file.
  StoreStatus LastStatus() const { return FStatus; }
  // Whether the crypto type and the section can name folders and sections at all.
  bool NamesAreSafe() const;

  std::string FSection;
  std::string FCryptType;
  bool FHasSignPair = false;

 protected:
  // caRoot is the folder holding the CA folder, ModuleDir() in production. Derived
  // classes load themselves at the end of their construction.
  TCaFile(const std::string& caRoot, std::string cryptType, std::string section, bool hasSignPair);

  // Checks the names before an operation that touches files; false with UnsafeName.
  bool BeginStoreOperation();
  // Creates CaDir and saves the entries into the set's section.
  bool WriteSection(const IniEntries& entries);

  std::string FCaRoot;
  StoreStatus FStatus = StoreStatus::Ok;
};

}  // namespace qorv
