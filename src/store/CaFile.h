// What user certificate sets and server certificate records share: the crypto type,
// the INI section, the two-pair flag, the folders and file, and the installing of the
// set's files into its folder. See StorePaths.h for the layout.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "store/IniFile.h"
#include "store/StoreStatus.h"

namespace qorv {

class TCertFileInstall;

class TCaFile {
 public:
  virtual ~TCaFile() = default;
  TCaFile(const TCaFile&) = delete;
  TCaFile& operator=(const TCaFile&) = delete;

  // False when the certificate set file does not exist (fields untouched) or a name is
  // unsafe; otherwise reads the set's section. A section found under another spelling
  // of FSection (letter case) becomes FSection, so that its folder is the one in use.
  virtual bool LoadFromIni() = 0;
  // Whether the set's required files are named and exist.
  virtual bool FilesPresent() const = 0;
  // Copies the named files into CertDir and writes the section, as one step under the
  // store's lock: on success the fields name the copies; on failure, with LastStatus
  // saying why, the fields, the folder and the file are as they were. A name that is
  // unsafe, a source that is missing, not a regular file or too large, or a value that
  // would not read back whole fails before anything is touched.
  virtual bool SaveToIni() = 0;
  // params with the set's values set under their parameter keys.
  virtual std::string PutToParams(const std::string& params) const = 0;
  // Every field replaced by the value under its parameter key (empty when absent).
  virtual void TakeFromParams(const std::string& params) = 0;

  std::string IniFileName() const;
  std::string CaDir() const;
  // WithTrailingBackslash(CaDir + FSection): the set's own folder.
  std::string CertDir() const;

  // Why the last LoadFromIni, SaveToIni or SavePasswords failed; Ok after success and
  // after a load that found no file. LastStatusSubject names the file or path at fault.
  StoreStatus LastStatus() const { return FStatus; }
  const std::string& LastStatusSubject() const { return FStatusSubject; }
  // Whether the crypto type and the section can name folders and sections at all; a
  // user's section must not have the form of a server record's (StoreNames.h).
  bool NamesAreSafe() const;

  std::string FSection;
  std::string FCryptType;
  bool FHasSignPair = false;

 protected:
  enum class SectionKind { User, ServerRecord };
  // caRoot is the folder holding the CA folder, ModuleDir() in production. Derived
  // classes load themselves at the end of their construction.
  TCaFile(const std::string& caRoot, std::string cryptType, std::string section, bool hasSignPair, SectionKind kind);

  // Checks the names before an operation that touches files; false with UnsafeName.
  bool BeginStoreOperation();
  // Takes the spelling of FSection that setFile has.
  void AdoptSectionSpelling(const TIniDocument& setFile);
  // Installs the files the fields name (SaveToIni), then writes entries(), built once
  // the fields name the copies.
  bool InstallFiles(const std::vector<std::string*>& fields, const std::function<IniEntries()>& entries);
  // Plans the install of the fields' files into CertDir, points the fields at the
  // copies and builds the entries; false, with the fields as they were, when a source
  // or a stored path would not do.
  bool PrepareInstall(TCertFileInstall& install, const std::vector<std::string*>& fields,
                      const std::function<IniEntries()>& entries, IniEntries& values);
  // Creates CaDir and saves the entries into the set's section.
  bool WriteSection(const IniEntries& entries);
  bool Fail(StoreStatus status, std::string subject = std::string());

  std::string FCaRoot;
  SectionKind FKind;
  StoreStatus FStatus = StoreStatus::Ok;
  std::string FStatusSubject;
};

}  // namespace qorv
