// The listing of every crypto type of a configuration file, as "NAME=DESC" lines.
#pragma once

#include <string>

namespace qorv {

struct CryptListResult {
  bool ok = false;
  std::string list;    // one "NAME=DESC" CR LF line per listed entry, on success
  std::string params;  // empty on success, the ResultMsgStr entry on failure
};

CryptListResult ListCryptTypes(const std::string& configFile);

}  // namespace qorv
