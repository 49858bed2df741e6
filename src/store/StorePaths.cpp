#include "store/StorePaths.h"

#include "platform/Platform.h"
#include "util/PathFunctions.h"
#include "util/PathText.h"

namespace qorv {
namespace {

// Relative to a folder: no drive or share prefix and no leading separator ('/' counts
// on Windows too).
bool IsFolderRelative(const std::string& path) {
  const PathRules& rules = HostPathRules();
  return !path.empty() && path[0] != '/' && path[0] != rules.separator && DrivePart(path, rules).empty();
}

}  // namespace

std::string CryptTypeDir(const std::string& caRoot, const std::string& cryptType) {
  return WithTrailingBackslash(WithTrailingBackslash(caRoot) + "CA" + platform::kPathSeparator + cryptType);
}

std::string CertificateSetFileName(const std::string& caRoot, const std::string& cryptType) {
  return CryptTypeDir(caRoot, cryptType) + "UserCa_" + cryptType + ".ini";
}

std::string FullStoredPath(const std::string& stored) {
  return FullPath(IsFolderRelative(stored) ? HostAppDir() + stored : stored);
}

}  // namespace qorv
