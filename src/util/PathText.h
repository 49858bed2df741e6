// Path rules as pure text, so that the Windows rules can be exercised on every target.
// Texts are 8-bit. Under the Windows rules they are GBK: a lead byte (0x81 to 0xFE)
// takes the next byte with it, and a trail byte 0x5C is not a backslash.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qorv {

struct PathRules {
  char separator;   // '\\' or '/'
  bool driveParts;  // "C:" and "\\server\share" prefixes; ':' also ends a folder part
  bool doubleByte;  // GBK lead and trail bytes are read as one character
  bool foldCase;    // names compare with ASCII letters folded
};

inline constexpr PathRules kWindowsPathRules{'\\', true, true, true};
inline constexpr PathRules kPosixPathRules{'/', false, false, false};

// The rules of the target this code was built for.
const PathRules& HostPathRules();

// Everything up to and including the last separator (or, with drive parts, colon) that
// is not a trail byte; empty when there is none.
std::string FolderPart(std::string_view path, const PathRules& rules);
// Everything after the folder part.
std::string FileNamePart(std::string_view path, const PathRules& rules);

// "C:" when the second character is a colon; for a path starting with two separators,
// the text up to the separator that ends the share name (all of it when none does);
// otherwise, and always without drive parts, empty.
std::string DrivePart(std::string_view path, const PathRules& rules);

// True when the last character (not merely the last byte) is the separator.
bool EndsWithSeparatorChar(std::string_view path, const PathRules& rules);

// Same name, with ASCII letters folded under rules that fold case; trail bytes never fold.
bool SamePathText(std::string_view a, std::string_view b, const PathRules& rules);

// Blanks and control bytes trimmed from both ends, then the separator appended unless
// the text is empty or its last byte already is the separator. A byte test on purpose:
// a trail byte 0x5C counts as a backslash here.
std::string WithTrailingSeparator(std::string_view path, const PathRules& rules);

// file relative to the folder baseDir: "..<sep>" for each folder of baseDir that file
// does not share, then file's own remaining folders and its name. file comes back
// unchanged when the two lie on different drives (an empty file always does), or,
// without drive parts, when either is not absolute.
std::string RelativePath(std::string_view file, std::string_view baseDir, const PathRules& rules);

// The folders that creating path with its missing parents makes, parents first.
// One trailing separator is ignored; a path shorter than three characters under drive
// rules (a drive root), an existing folder and a path that is its own parent (two
// trailing separators) need nothing.
std::vector<std::string> FoldersToCreate(std::string_view path, const PathRules& rules,
                                         const std::function<bool(const std::string&)>& folderPresent);

}  // namespace qorv
