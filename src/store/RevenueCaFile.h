// A server certificate record: the server's encryption certificate and, with a signing
// pair, its signing certificate, kept in section "Revenue" + revenue code.
#pragma once

#include <string>

#include "store/CaFile.h"

namespace qorv {

class TRevenueCaFile : public TCaFile {
 public:
  // Loads the record from the certificate set file below caRoot (ModuleDir() in
  // production); a missing file or unsafe name leaves it empty.
  TRevenueCaFile(const std::string& caRoot, std::string cryptType, std::string section, bool hasSignPair);
  TRevenueCaFile(std::string cryptType, std::string section, bool hasSignPair);
  // The record as found in setFile: the certificate set file below ModuleDir() as the
  // caller read it, null when there is none. One read then serves several records.
  TRevenueCaFile(std::string cryptType, std::string section, bool hasSignPair, const TIniDocument* setFile);

  bool LoadFromIni() override;
  bool FilesPresent() const override;
  bool SaveToIni() override;
  // Sets "RevenueEncCertFile" and, with a signing pair, "RevenueSignCertFile".
  std::string PutToParams(const std::string& params) const override;
  void TakeFromParams(const std::string& params) override;

  std::string FEncCertFile;
  std::string FSignCertFile;

 private:
  void ReadSection(const TIniDocument& setFile);
};

}  // namespace qorv
