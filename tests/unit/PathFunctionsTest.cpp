#include "util/PathFunctions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "platform/PathServices.h"
#include "platform/Platform.h"
#include "platform/ProcessInfo.h"
#include "support/TempDir.h"
#include "util/PathText.h"

namespace qorv {
namespace {

const std::string kSep(1, platform::kPathSeparator);

// "\x95\x5C" is one GBK character whose second byte is the code of '\'.
const std::string kTrail5C = "\x95\x5C";

struct SplitCase {
  std::string path, folder, name;
};

TEST(PathTextTest, FolderAndFileNamePartsUnderWindowsRules) {
  const SplitCase cases[] = {
      {"C:\\a\\b.txt", "C:\\a\\", "b.txt"},
      {"C:\\a\\", "C:\\a\\", ""},
      {"C:b.txt", "C:", "b.txt"},  // a colon ends the folder part too
      {"b.txt", "", "b.txt"},
      {"", "", ""},
      {"a/b", "", "a/b"},
      {"\\\\srv\\share\\f", "\\\\srv\\share\\", "f"},
      {"C:\\d\\" + kTrail5C, "C:\\d\\", kTrail5C},  // a trail byte 0x5C is no backslash
      {"C:\\" + kTrail5C + "\\f", "C:\\" + kTrail5C + "\\", "f"},
      {"a\x95\x95\\b", "a\x95\x95\\", "b"},  // 95 95 is one character, so the '\' is real
      {"a\\\x95", "a\\", "\x95"},            // a lead byte at the very end
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(FolderPart(c.path, kWindowsPathRules), c.folder) << c.path;
    EXPECT_EQ(FileNamePart(c.path, kWindowsPathRules), c.name) << c.path;
  }
}

TEST(PathTextTest, FolderAndFileNamePartsUnderPosixRules) {
  const SplitCase cases[] = {
      {"/home/u/f.txt", "/home/u/", "f.txt"},
      {"/home/u/", "/home/u/", ""},
      {"/f", "/", "f"},
      {"f", "", "f"},
      {"C:f", "", "C:f"},
      {"a\\b", "", "a\\b"},
      {"/x\x95/f", "/x\x95/", "f"},  // high bytes take no byte with them
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(FolderPart(c.path, kPosixPathRules), c.folder) << c.path;
    EXPECT_EQ(FileNamePart(c.path, kPosixPathRules), c.name) << c.path;
  }
}

struct DriveCase {
  PathRules rules;
  std::string path, drive;
};

TEST(PathTextTest, DrivePart) {
  const DriveCase cases[] = {
      {kWindowsPathRules, "C:\\a\\b", "C:"},
      {kWindowsPathRules, "c:", "c:"},
      {kWindowsPathRules, "C:b", "C:"},
      {kWindowsPathRules, "\\\\srv\\share\\d\\f", "\\\\srv\\share"},
      {kWindowsPathRules, "\\\\srv\\share", "\\\\srv\\share"},
      {kWindowsPathRules, "\\\\srv", "\\\\srv"},
      {kWindowsPathRules, "\\\\srv\\" + kTrail5C + "\\d", "\\\\srv\\" + kTrail5C},
      {kWindowsPathRules, "\\a\\b", ""},
      {kWindowsPathRules, "a\\b", ""},
      {kWindowsPathRules, "", ""},
      {kPosixPathRules, "C:\\a", ""},
      {kPosixPathRules, "//srv/share/x", ""},
      {kPosixPathRules, "/a", ""},
  };
  for (const DriveCase& c : cases) EXPECT_EQ(DrivePart(c.path, c.rules), c.drive) << c.path;
}

struct CompareCase {
  PathRules rules;
  std::string a, b;
  bool same;
};

TEST(PathTextTest, SamePathTextFoldsAsciiLettersOnlyUnderWindowsRules) {
  const CompareCase cases[] = {
      {kWindowsPathRules, "C:\\App", "c:\\aPP", true},
      {kWindowsPathRules, "\xB2\xE2", "\xB2\xE2", true},
      {kWindowsPathRules, "\x81\x61", "\x81\x41", false},  // trail bytes are not letters
      {kWindowsPathRules, "ab", "abc", false},
      {kWindowsPathRules, "", "", true},
      {kPosixPathRules, "App", "app", false},
      {kPosixPathRules, "app", "app", true},
  };
  for (const CompareCase& c : cases) EXPECT_EQ(SamePathText(c.a, c.b, c.rules), c.same) << c.a << " / " << c.b;
}

struct TextCase {
  PathRules rules;
  std::string input, expected;
};

TEST(PathTextTest, WithTrailingSeparatorTrimsAndAddsOneSeparator) {
  const TextCase cases[] = {
      {kWindowsPathRules, "", ""},
      {kWindowsPathRules, " \t\r\n ", ""},
      {kWindowsPathRules, "C:\\a ", "C:\\a\\"},
      {kWindowsPathRules, "\x01 C:\\a\x1F", "C:\\a\\"},
      {kWindowsPathRules, "C:\\a\\", "C:\\a\\"},
      {kWindowsPathRules, "C:\\a\\ ", "C:\\a\\"},
      {kWindowsPathRules, "C:\\a\\\\", "C:\\a\\\\"},
      {kWindowsPathRules, "C:\\" + kTrail5C, "C:\\" + kTrail5C},  // a byte test: the trail byte counts
      {kWindowsPathRules, "a/", "a/\\"},
      {kPosixPathRules, "/a", "/a/"},
      {kPosixPathRules, "/a/ ", "/a/"},
      {kPosixPathRules, "a\\", "a\\/"},
      {kPosixPathRules, "  ", ""},
  };
  for (const TextCase& c : cases) EXPECT_EQ(WithTrailingSeparator(c.input, c.rules), c.expected) << c.input;
}

struct RelativeCase {
  std::string file, expected;
};

TEST(PathTextTest, RelativePathUnderWindowsRules) {
  const std::string base = "C:\\App\\Bin\\";
  const RelativeCase cases[] = {
      {"C:\\App\\Bin\\CA\\T\\U\\x.crt", "CA\\T\\U\\x.crt"},
      {"C:\\App\\Bin\\x.crt", "x.crt"},
      {"c:\\app\\BIN\\x.crt", "x.crt"},  // drives and folders compare without case
      {"C:\\App\\Other\\x.crt", "..\\Other\\x.crt"},
      {"C:\\x.crt", "..\\..\\x.crt"},
      {"C:\\App\\Binary\\x.crt", "..\\Binary\\x.crt"},
      {"D:\\App\\Bin\\x.crt", "D:\\App\\Bin\\x.crt"},  // another drive: unchanged
      {"\\\\srv\\share\\x.crt", "\\\\srv\\share\\x.crt"},
      {"x.crt", "x.crt"},
      {"", ""},
  };
  for (const RelativeCase& c : cases) EXPECT_EQ(RelativePath(c.file, base, kWindowsPathRules), c.expected) << c.file;

  // Double-byte folder names: a trail 0x5C does not split a name, trail letters do not fold.
  EXPECT_EQ(RelativePath("C:\\" + kTrail5C + "x\\f", "C:\\" + kTrail5C + "\\", kWindowsPathRules),
            "..\\" + kTrail5C + "x\\f");
  EXPECT_EQ(RelativePath("C:\\\x81\x61\\f", "C:\\\x81\x41\\", kWindowsPathRules), "..\\\x81\x61\\f");

  const std::string share = "\\\\srv\\share\\App\\";
  EXPECT_EQ(RelativePath("\\\\SRV\\Share\\Data\\f", share, kWindowsPathRules), "..\\Data\\f");
  EXPECT_EQ(RelativePath("\\\\srv\\other\\App\\f", share, kWindowsPathRules), "\\\\srv\\other\\App\\f");
}

TEST(PathTextTest, RelativePathUnderPosixRules) {
  const std::string base = "/opt/app/";
  const RelativeCase cases[] = {
      {"/opt/app/CA/T/U/x.crt", "CA/T/U/x.crt"},
      {"/opt/other/x", "../other/x"},
      {"/opt/App/x", "../App/x"},  // names compare exactly
      {"/x", "../../x"},
      {"rel/x", "rel/x"},  // nothing to relate a relative path to
      {"", ""},
  };
  for (const RelativeCase& c : cases) EXPECT_EQ(RelativePath(c.file, base, kPosixPathRules), c.expected) << c.file;
}

struct CreateCase {
  PathRules rules;
  std::string path;
  std::vector<std::string> expected;
};

TEST(PathTextTest, FoldersToCreateListsMissingFoldersParentsFirst) {
  const std::set<std::string> present = {"C:\\base", "\\\\srv\\share", "/base"};
  auto isPresent = [&present](const std::string& path) { return present.count(path) != 0; };
  const CreateCase cases[] = {
      {kWindowsPathRules, "C:\\base\\a\\b\\c", {"C:\\base\\a", "C:\\base\\a\\b", "C:\\base\\a\\b\\c"}},
      {kWindowsPathRules, "C:\\base\\a\\", {"C:\\base\\a"}},
      {kWindowsPathRules, "C:\\base\\a\\\\", {}},  // only one separator is dropped
      {kWindowsPathRules, "C:\\base", {}},
      {kWindowsPathRules, "C:\\base\\", {}},
      {kWindowsPathRules, "C:\\new\\x", {"C:\\new", "C:\\new\\x"}},
      {kWindowsPathRules, "C:\\", {}},
      {kWindowsPathRules, "C:", {}},
      {kWindowsPathRules, "", {}},
      {kWindowsPathRules, "C:\\base\\" + kTrail5C, {"C:\\base\\" + kTrail5C}},
      {kWindowsPathRules, "C:\\base\\" + kTrail5C + "\\", {"C:\\base\\" + kTrail5C}},
      {kWindowsPathRules, "\\\\srv\\share\\d", {"\\\\srv\\share\\d"}},
      {kPosixPathRules, "/base/a/b/c", {"/base/a", "/base/a/b", "/base/a/b/c"}},
      {kPosixPathRules, "/base/a//", {}},
      {kPosixPathRules, "/", {}},
      {kPosixPathRules, "rel/a", {"rel", "rel/a"}},
  };
  for (const CreateCase& c : cases) EXPECT_EQ(FoldersToCreate(c.path, c.rules, isPresent), c.expected) << c.path;
}

TEST(PathFunctionsTest, CreateDirPathCreatesMissingFoldersOnly) {
  test::TempDir dir;
  const std::string deep = dir.File("a" + kSep + "b" + kSep + "c");
  CreateDirPath(deep);
  EXPECT_TRUE(DirPresent(dir.File("a")));
  EXPECT_TRUE(DirPresent(dir.File("a" + kSep + "b")));
  EXPECT_TRUE(DirPresent(deep));

  // An existing folder is left as it is, its content included.
  const std::string kept = dir.Write("a" + kSep + "keep.txt", "x");
  CreateDirPath(dir.File("a") + kSep);
  EXPECT_TRUE(platform::FileExists(kept));

  // Two trailing separators name a folder that is its own parent: nothing is made.
  CreateDirPath(dir.File("twice") + kSep + kSep);
  EXPECT_FALSE(DirPresent(dir.File("twice")));

  CreateDirPath("");  // quietly nothing
}

TEST(PathFunctionsTest, DirPresentIsTrueForFoldersOnly) {
  test::TempDir dir;
  EXPECT_TRUE(DirPresent(dir.path()));
  EXPECT_FALSE(DirPresent(dir.Write("file", "x")));
  EXPECT_FALSE(DirPresent(dir.File("missing")));
  EXPECT_FALSE(DirPresent(""));
}

TEST(PathFunctionsTest, WithTrailingBackslashUsesTheTargetSeparator) {
  EXPECT_EQ(WithTrailingBackslash(" x "), "x" + kSep);
  EXPECT_EQ(WithTrailingBackslash("x" + kSep), "x" + kSep);
  EXPECT_EQ(WithTrailingBackslash(" "), "");
}

TEST(PathFunctionsTest, FullPathResolvesAsTextAgainstTheCurrentDirectory) {
  test::TempDir dir;
  const std::string current = std::filesystem::current_path().string();
  const RelativeCase cases[] = {
      {"", ""},
      {dir.File("a" + kSep + ".." + kSep + "b"), dir.File("b")},
      {dir.File("a" + kSep + "." + kSep + "b" + kSep), dir.File("a" + kSep + "b" + kSep)},
      {dir.File("missing" + kSep + "x"), dir.File("missing" + kSep + "x")},
      {"x", current + kSep + "x"},
  };
  for (const RelativeCase& c : cases) EXPECT_EQ(FullPath(c.file), c.expected) << c.file;
}

TEST(PathFunctionsTest, FullPathStaysAtThePosixRoot) {
  if (platform::kWindows) GTEST_SKIP() << "POSIX paths only";
  const RelativeCase cases[] = {
      {"/", "/"}, {"/..", "/"}, {"/a/b/../../..", "/"}, {"//a//b", "/a/b"}, {"/a/./b/", "/a/b/"},
  };
  for (const RelativeCase& c : cases) EXPECT_EQ(FullPath(c.file), c.expected) << c.file;
}

TEST(PathFunctionsTest, ModuleAndHostFoldersNameTheTestProgram) {
  // The unit tests link the code statically, so the module is the test program itself.
  const std::string module = ModuleFilePath();
  EXPECT_TRUE(platform::FileExists(module)) << module;
  EXPECT_TRUE(SamePathText(module, platform::ExecutablePath(), HostPathRules())) << module;
  EXPECT_EQ(ModuleDir() + FileNamePart(module, HostPathRules()), module);
  EXPECT_EQ(HostAppDir(), ModuleDir());
  EXPECT_EQ(HostAppDir().back(), platform::kPathSeparator);
  EXPECT_TRUE(DirPresent(HostAppDir()));
}

TEST(PathFunctionsTest, RelativeToHostAppDirRecordsFilesBelowTheHostFolder) {
  const std::string host = HostAppDir();
  const std::string below = "CA" + kSep + "T" + kSep + "U" + kSep + "x.crt";
  EXPECT_EQ(RelativeToHostAppDir(host + below), below);
  EXPECT_EQ(RelativeToHostAppDir(""), "");

  const std::string parent = FolderPart(host.substr(0, host.size() - 1), HostPathRules());
  EXPECT_EQ(RelativeToHostAppDir(parent + "sibling" + kSep + "f"), ".." + kSep + "sibling" + kSep + "f");
}

TEST(PathServicesTest, CopyFileReplacingOverwritesTheTarget) {
  test::TempDir dir;
  const std::string from = dir.Write("from", "new content");
  const std::string to = dir.Write("to", "old content that is longer");
  EXPECT_TRUE(platform::CopyFileReplacing(from, to));
  EXPECT_EQ(test::ReadFileBytes(to), "new content");
  EXPECT_FALSE(platform::CopyFileReplacing(dir.File("missing"), dir.File("other")));
  EXPECT_FALSE(platform::FileExists(dir.File("other")));
}

TEST(PathServicesTest, MakeFileNormalClearsReadOnly) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  const std::string file = dir.Write("ro", "x");
  fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  ASSERT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_TRUE(platform::MakeFileNormal(file));
  EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_FALSE(platform::MakeFileNormal(dir.File("missing")));
}

TEST(PathServicesTest, CreateOneDirectoryNeedsItsParent) {
  test::TempDir dir;
  EXPECT_TRUE(platform::CreateOneDirectory(dir.File("one")));
  EXPECT_TRUE(DirPresent(dir.File("one")));
  EXPECT_FALSE(platform::CreateOneDirectory(dir.File("one")));  // already there
  EXPECT_FALSE(platform::CreateOneDirectory(dir.File("x" + kSep + "y")));
  EXPECT_FALSE(DirPresent(dir.File("x")));
}

}  // namespace
}  // namespace qorv
