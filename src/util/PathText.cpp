#include "util/PathText.h"

#include <algorithm>

#include "platform/Platform.h"
#include "util/TextCase.h"

namespace qorv {
namespace {

// Bytes the character starting at i takes: two for a GBK lead byte with a byte after it.
size_t CharLength(std::string_view text, size_t i, const PathRules& rules) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  return (rules.doubleByte && c >= 0x81 && c <= 0xFE && i + 1 < text.size()) ? 2 : 1;
}

bool IsSeparatorChar(std::string_view text, size_t i, size_t length, const PathRules& rules) {
  return length == 1 && text[i] == rules.separator;
}

bool IsDelimiterChar(std::string_view text, size_t i, size_t length, const PathRules& rules) {
  return length == 1 && (text[i] == rules.separator || (rules.driveParts && text[i] == ':'));
}

// Position of the first separator character at or after start, or npos.
size_t FindSeparator(std::string_view text, size_t start, const PathRules& rules) {
  for (size_t i = start; i < text.size();) {
    const size_t length = CharLength(text, i, rules);
    if (IsSeparatorChar(text, i, length, rules)) return i;
    i += length;
  }
  return std::string_view::npos;
}

// The texts preceding each separator of a folder part (the first may be empty).
std::vector<std::string_view> FolderComponents(std::string_view folder, const PathRules& rules) {
  std::vector<std::string_view> components;
  size_t start = 0;
  for (size_t end = FindSeparator(folder, 0, rules); end != std::string_view::npos;
       end = FindSeparator(folder, start, rules)) {
    components.push_back(folder.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

}  // namespace

const PathRules& HostPathRules() { return platform::kWindows ? kWindowsPathRules : kPosixPathRules; }

std::string FolderPart(std::string_view path, const PathRules& rules) {
  size_t end = 0;
  for (size_t i = 0; i < path.size();) {
    const size_t length = CharLength(path, i, rules);
    if (IsDelimiterChar(path, i, length, rules)) end = i + 1;
    i += length;
  }
  return std::string(path.substr(0, end));
}

std::string FileNamePart(std::string_view path, const PathRules& rules) {
  return std::string(path.substr(FolderPart(path, rules).size()));
}

std::string DrivePart(std::string_view path, const PathRules& rules) {
  if (!rules.driveParts) return std::string();
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.size() >= 2 && path[0] == rules.separator && path[1] == rules.separator) {
    const size_t serverEnd = FindSeparator(path, 2, rules);
    if (serverEnd == std::string_view::npos) return std::string(path);
    return std::string(path.substr(0, FindSeparator(path, serverEnd + 1, rules)));
  }
  return std::string();
}

bool EndsWithSeparatorChar(std::string_view path, const PathRules& rules) {
  bool last = false;
  for (size_t i = 0; i < path.size();) {
    const size_t length = CharLength(path, i, rules);
    last = IsSeparatorChar(path, i, length, rules);
    i += length;
  }
  return last;
}

bool SamePathText(std::string_view a, std::string_view b, const PathRules& rules) {
  if (!rules.foldCase || a.size() != b.size()) return a == b;
  for (size_t i = 0; i < a.size();) {
    const size_t length = CharLength(a, i, rules);
    if (length == 2) {
      // Equal lead bytes keep both texts' characters aligned.
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
      return false;
    }
    i += length;
  }
  return true;
}

std::string WithTrailingSeparator(std::string_view path, const PathRules& rules) {
  std::string result = TrimText(path);
  if (!result.empty() && result.back() != rules.separator) result += rules.separator;
  return result;
}

std::string RelativePath(std::string_view file, std::string_view baseDir, const PathRules& rules) {
  if (file.empty()) return std::string();
  if (rules.driveParts) {
    if (!SamePathText(DrivePart(file, rules), DrivePart(baseDir, rules), rules)) return std::string(file);
  } else if (file[0] != rules.separator || baseDir.empty() || baseDir[0] != rules.separator) {
    return std::string(file);
  }

  auto withoutDrive = [&rules](std::string_view path) {
    std::string folder = FolderPart(path, rules);
    return folder.substr(std::min(folder.size(), DrivePart(path, rules).size()));
  };
  const std::string fileFolder = withoutDrive(file);
  const std::string baseFolder = withoutDrive(baseDir);
  const std::vector<std::string_view> fileParts = FolderComponents(fileFolder, rules);
  const std::vector<std::string_view> baseParts = FolderComponents(baseFolder, rules);

  size_t common = 0;
  while (common < fileParts.size() && common < baseParts.size() &&
         SamePathText(fileParts[common], baseParts[common], rules)) {
    ++common;
  }
  std::string result;
  for (size_t i = common; i < baseParts.size(); ++i) {
    result += "..";
    result += rules.separator;
  }
  for (size_t i = common; i < fileParts.size(); ++i) {
    result += fileParts[i];
    result += rules.separator;
  }
  result += FileNamePart(file, rules);
  return result;
}

std::vector<std::string> FoldersToCreate(std::string_view path, const PathRules& rules,
                                         const std::function<bool(const std::string&)>& folderPresent) {
  std::vector<std::string> missing;  // deepest first
  std::string current(path);
  while (!current.empty()) {
    if (EndsWithSeparatorChar(current, rules)) current.pop_back();
    // Under drive rules anything shorter than "C:x" is a drive or its root.
    if (rules.driveParts ? current.size() < 3 : current.empty()) break;
    if (folderPresent(current)) break;
    std::string parent = FolderPart(current, rules);
    if (parent == current) break;
    missing.push_back(std::move(current));
    current = std::move(parent);
  }
  std::reverse(missing.begin(), missing.end());
  return missing;
}

}  // namespace qorv
