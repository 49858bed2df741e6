#include "store/RevenueCaFile.h"

#include <utility>
#include <vector>

#include "interface/ParamString.h"
#include "platform/FileSystem.h"
#include "store/StorePaths.h"
#include "util/PathFunctions.h"

namespace qorv {
namespace {

bool Present(const std::string& path) { return !path.empty() && platform::FileExists(path); }

}  // namespace

TRevenueCaFile::TRevenueCaFile(const std::string& caRoot, std::string cryptType, std::string section, bool hasSignPair)
    : TCaFile(caRoot, std::move(cryptType), std::move(section), hasSignPair, SectionKind::ServerRecord) {
  LoadFromIni();
}

TRevenueCaFile::TRevenueCaFile(std::string cryptType, std::string section, bool hasSignPair)
    : TRevenueCaFile(ModuleDir(), std::move(cryptType), std::move(section), hasSignPair) {}

TRevenueCaFile::TRevenueCaFile(std::string cryptType, std::string section, bool hasSignPair,
                               const TIniDocument* setFile)
    : TCaFile(ModuleDir(), std::move(cryptType), std::move(section), hasSignPair, SectionKind::ServerRecord) {
  if (BeginStoreOperation() && setFile != nullptr) ReadSection(*setFile);
}

bool TRevenueCaFile::LoadFromIni() {
  if (!BeginStoreOperation()) return false;
  TIniDocument ini;
  if (!TIniFile(IniFileName()).Load(ini)) return false;
  ReadSection(ini);
  return true;
}

void TRevenueCaFile::ReadSection(const TIniDocument& ini) {
  AdoptSectionSpelling(ini);
  FEncCertFile = FullStoredPath(ini.Read(FSection, "EncCertFile"));
  if (FHasSignPair) FSignCertFile = FullStoredPath(ini.Read(FSection, "SignCertFile"));
}

bool TRevenueCaFile::FilesPresent() const { return Present(FEncCertFile) && (!FHasSignPair || Present(FSignCertFile)); }

bool TRevenueCaFile::SaveToIni() {
  if (!BeginStoreOperation()) return false;
  std::vector<std::string*> fields = {&FEncCertFile};
  if (FHasSignPair) fields.push_back(&FSignCertFile);
  return InstallFiles(fields, [this] {
    IniEntries entries = {{"EncCertFile", RelativeToHostAppDir(FEncCertFile)}};
    if (FHasSignPair) entries.push_back({"SignCertFile", RelativeToHostAppDir(FSignCertFile)});
    return entries;
  });
}

std::string TRevenueCaFile::PutToParams(const std::string& params) const {
  std::string result = SetParamValue(params, "RevenueEncCertFile", FullPath(FEncCertFile));
  if (FHasSignPair) result = SetParamValue(result, "RevenueSignCertFile", FullPath(FSignCertFile));
  return result;
}

void TRevenueCaFile::TakeFromParams(const std::string& params) {
  FEncCertFile = FullPath(GetParamValue(params, "RevenueEncCertFile"));
  if (FHasSignPair) FSignCertFile = FullPath(GetParamValue(params, "RevenueSignCertFile"));
}

}  // namespace qorv
