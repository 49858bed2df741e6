#include "config/CryptList.h"

#include <utility>

#include "config/ConfigDocument.h"
#include "config/XmlElement.h"
#include "interface/ParamString.h"
#include "platform/FileSystem.h"
#include "util/Messages.h"

namespace qorv {
namespace {

using platform::XmlNode;

CryptListResult Failure(std::string message) {
  CryptListResult result;
  result.params = SetParamValue("", "ResultMsgStr", message);
  return result;
}

}  // namespace

CryptListResult ListCryptTypes(const std::string& configFile) {
  // Read first: asking whether the file exists only tells an unreadable one from none.
  std::string bytes = LoadFileText(configFile);
  if (bytes.empty() && !platform::FileExists(configFile)) return Failure(msg::ConfigFileMissing(configFile));
  XmlNode root;
  if (!ParseConfigDocument(std::move(bytes), root)) return Failure(msg::ListParseError(configFile));

  // Unlike the loader, the listing examines every entry, skips nameless ones, keeps
  // names untrimmed and requires DESC wherever there is a name.
  std::string list;
  for (const XmlNode& entry : root.children) {
    if (!IsElementNamed(entry, "CRYPT")) return Failure(msg::ListConfigIncorrect(configFile));
    const XmlNode* nameNode = FirstChildNamed(entry, "NAME");
    if (nameNode == nullptr) continue;
    std::string name;
    if (!ReadTextValue(*nameNode, name)) return Failure(msg::ConfigReadError(configFile));
    if (name.empty()) continue;
    const XmlNode* descNode = FirstChildNamed(entry, "DESC");
    std::string desc;
    if (descNode == nullptr || !ReadTextValue(*descNode, desc)) return Failure(msg::ConfigReadError(configFile));
    list += name;
    list += '=';
    list += desc;
    list += "\r\n";
  }
  CryptListResult result;
  result.ok = true;
  result.list = std::move(list);
  return result;
}

}  // namespace qorv
