#include "platform/PathServices.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/ProcessInfo.h"

namespace qorv::platform {
namespace {

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

}  // namespace

std::string FullPathName(const std::string& path) {
  if (path.empty()) return std::string();
  std::string absolute = path;
  if (path[0] != '/') {
    const std::string current = CurrentDirectory();
    if (current.empty()) return std::string();
    absolute = current + '/' + path;
  }

  std::vector<std::string_view> steps;
  const std::string_view text(absolute);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('/', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view step = text.substr(start, end - start);
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();  // ".." at the root stays at the root
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
    start = end + 1;
  }

  std::string full;
  for (std::string_view step : steps) {
    full += '/';
    full += step;
  }
  if (full.empty()) return "/";
  // A folder named with its trailing separator keeps it, as on Windows.
  if (path.back() == '/') full += '/';
  return full;
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateOneDirectory(const std::string& path) { return !path.empty() && mkdir(path.c_str(), 0700) == 0; }

bool MakeFileNormal(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0) return false;
  return chmod(path.c_str(), (st.st_mode & 0777) | S_IRUSR | S_IWUSR) == 0;
}

namespace {

std::string FindOwnModulePath() {
  Dl_info info{};
  link_map* map = nullptr;
  if (dladdr1(reinterpret_cast<void*>(&OwnModulePath), &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) ==
          0 ||
      map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0') {
    // Linked into the executable itself: the loader keeps no name for it.
    return ExecutablePath();
  }
  // The name the library was loaded by, which may be relative to the current directory.
  return FullPathName(map->l_name);
}

// Found once, as the library is loaded: the loader keeps the name it was given, which
// may be relative to the current directory of that moment, and the host may change
// directory afterwards. The file cannot move while it is loaded.
const std::string& LoadTimeModulePath() {
  static const std::string path = FindOwnModulePath();
  return path;
}
[[maybe_unused]] const bool g_modulePathTaken = !LoadTimeModulePath().empty();

}  // namespace

std::string OwnModulePath() { return LoadTimeModulePath(); }

}  // namespace qorv::platform
