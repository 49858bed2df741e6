// The settings of one crypto type, read from the crypto configuration file.
#pragma once

#include <string>
#include <vector>

namespace qorv {

class TCryptConfig {
 public:
  // Reads fileName at once; any problem is recorded in FErrorMsg, never thrown.
  TCryptConfig(std::string fileName, std::string cryptType);

  // The parameter string with the crypto type's description set into it: the extension
  // parameters in file order, then CAMode, Mode, CAISMULTI and DESC.
  std::string AppendDescription(const std::string& params) const;

  // Value of the first extension parameter whose name matches (ASCII case ignored),
  // untrimmed; empty when there is none.
  std::string ExtParamValue(const std::string& name) const;

  std::string FErrorMsg;  // empty when the crypto type was found and read
  std::string FFileName;
  std::string FCryptType;
  // The entry's NAME as the file gives it (trimmed), whatever the letter case the caller
  // asked with: it names the crypto type's stores, so that one type has one store.
  std::string FName;
  std::string FMode;
  std::string FCAMode;
  std::string FLibPath;
  std::string FCAIsMulti;
  std::string FDesc;
  std::string FRootCertFile;
  std::vector<std::string> FExtParams;  // "name=value", in file order, duplicates kept

 private:
  void LoadConfig();
};

}  // namespace qorv
