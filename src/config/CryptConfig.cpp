#include "config/CryptConfig.h"

#include <utility>

#include "config/ConfigDocument.h"
#include "config/XmlElement.h"
#include "interface/ParamString.h"
#include "platform/FileSystem.h"
#include "util/Messages.h"
#include "util/TextCase.h"

namespace qorv {
namespace {

using platform::XmlNode;

// Trimmed text of the optional child; false when the document is unreadable there.
bool ReadOptional(const XmlNode& parent, std::string_view name, std::string& field) {
  const XmlNode* child = FirstChildNamed(parent, name);
  if (child == nullptr) return true;
  std::string text;
  if (!ReadTextValue(*child, text)) return false;
  if (!text.empty()) field = TrimText(text);
  return true;
}

// Splits an extension parameter line at its first '='.
std::pair<std::string, std::string> SplitLine(const std::string& line) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return {line, std::string()};
  return {line.substr(0, equals), line.substr(equals + 1)};
}

}  // namespace

TCryptConfig::TCryptConfig(std::string fileName, std::string cryptType)
    : FFileName(std::move(fileName)), FCryptType(std::move(cryptType)) {
  LoadConfig();
}

void TCryptConfig::LoadConfig() {
  // Read first: asking whether the file exists only tells an unreadable one from none.
  std::string bytes = LoadFileText(FFileName);
  if (bytes.empty() && !platform::FileExists(FFileName)) {
    FErrorMsg = msg::ConfigFileMissing(FFileName);
    return;
  }
  XmlNode root;
  if (!ParseConfigDocument(std::move(bytes), root)) {
    FErrorMsg = msg::ConfigReadError(FFileName);
    return;
  }

  const XmlNode* entry = nullptr;
  for (const XmlNode& child : root.children) {
    if (!IsElementNamed(child, "CRYPT")) {
      FErrorMsg = msg::ConfigIncorrect();
      return;
    }
    const XmlNode* nameNode = FirstChildNamed(child, "NAME");
    std::string name;
    if (nameNode != nullptr && !ReadTextValue(*nameNode, name)) {
      FErrorMsg = msg::ConfigReadError(FFileName);
      return;
    }
    if (name.empty()) {
      FErrorMsg = msg::ConfigNameEmpty();
      return;
    }
    // The first match wins; later entries are not examined at all.
    if (SameTextNoCase(TrimText(name), FCryptType)) {
      entry = &child;
      FName = TrimText(name);
      break;
    }
  }
  if (entry == nullptr) {
    FErrorMsg = msg::CryptTypeNotConfigured(FFileName, FCryptType);
    return;
  }

  bool readable = ReadOptional(*entry, "LIBPATH", FLibPath) && ReadOptional(*entry, "MODE", FMode) &&
                  ReadOptional(*entry, "DESC", FDesc);
  if (const XmlNode* ca = FirstChildNamed(*entry, "CA"); readable && ca != nullptr) {
    readable = ReadOptional(*ca, "CAMODE", FCAMode) && ReadOptional(*ca, "CAISMULTI", FCAIsMulti) &&
               ReadOptional(*ca, "ROOTCERTFILE", FRootCertFile);
  }
  if (const XmlNode* extends = FirstChildNamed(*entry, "EXTENDS"); readable && extends != nullptr) {
    for (const XmlNode& param : extends->children) {
      if (!IsElementNamed(param, "EXT-PARAM")) continue;
      const XmlNode* nameNode = FirstChildNamed(param, "PARAM-NAME");
      std::string name;
      if (nameNode == nullptr || !ReadTextValue(*nameNode, name)) {
        readable = false;
        break;
      }
      name = TrimText(name);
      if (name.empty()) continue;
      const XmlNode* valueNode = FirstChildNamed(param, "PARAM-VALUE");
      std::string value;
      if (valueNode == nullptr || !ReadTextValue(*valueNode, value)) {
        readable = false;
        break;
      }
      FExtParams.push_back(name + "=" + value);
    }
  }
  if (!readable) FErrorMsg = msg::ConfigReadError(FFileName);
}

std::string TCryptConfig::AppendDescription(const std::string& params) const {
  std::string result = params;
  for (const std::string& line : FExtParams) {
    const auto [name, value] = SplitLine(line);
    result = SetParamValue(result, name, value);
  }
  result = SetParamValue(result, "CAMode", FCAMode);
  result = SetParamValue(result, "Mode", FMode);
  result = SetParamValue(result, "CAISMULTI", FCAIsMulti);
  result = SetParamValue(result, "DESC", FDesc);
  return result;
}

std::string TCryptConfig::ExtParamValue(const std::string& name) const {
  for (const std::string& line : FExtParams) {
    const auto [lineName, value] = SplitLine(line);
    if (SameTextNoCase(lineName, name)) return value;
  }
  return std::string();
}

}  // namespace qorv
