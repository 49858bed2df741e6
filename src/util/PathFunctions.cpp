#include "util/PathFunctions.h"

#include "platform/PathServices.h"
#include "platform/ProcessInfo.h"
#include "util/PathText.h"

namespace qorv {

std::string HostAppDir() { return FolderPart(platform::ExecutablePath(), HostPathRules()); }

std::string ModuleFilePath() { return platform::OwnModulePath(); }

std::string ModuleDir() { return FolderPart(ModuleFilePath(), HostPathRules()); }

std::string WithTrailingBackslash(const std::string& path) { return WithTrailingSeparator(path, HostPathRules()); }

bool DirPresent(const std::string& path) { return platform::DirectoryExists(path); }

void CreateDirPath(const std::string& path) {
  for (const std::string& folder : FoldersToCreate(path, HostPathRules(), DirPresent)) {
    platform::CreateOneDirectory(folder);
  }
}

std::string RelativeToHostAppDir(const std::string& file) { return RelativePath(file, HostAppDir(), HostPathRules()); }

std::string FullPath(const std::string& path) { return path.empty() ? std::string() : platform::FullPathName(path); }

}  // namespace qorv
