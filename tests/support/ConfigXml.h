// Builds crypto configuration documents for tests.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qorv::test {

struct CryptEntry {
  std::string name;
  std::string libPath;
  std::string mode;
  std::string desc;
  std::string caMode;
  std::string caIsMulti;
  std::string rootCertFile;
  std::vector<std::pair<std::string, std::string>> extParams;
};

// <?xml version="1.0" encoding="UTF-8"?><CRYPTS> one <CRYPT> per entry </CRYPTS>; empty
// fields are left out. Texts are written as given (UTF-8), with no escaping.
std::string ConfigXml(const std::vector<CryptEntry>& entries);

// A document with the given inner XML inside the root element.
std::string RootWith(std::string_view innerXml);

// UTF-8 text (BMP characters only) as UTF-16 bytes, little or big endian, without BOM.
std::string Utf16Bytes(std::string_view utf8, bool bigEndian);

}  // namespace qorv::test
