#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/ProcessInfo.h"
#include "store/IniDocument.h"
#include "store/IniFile.h"
#include "support/TempDir.h"

namespace qorv {
namespace {

namespace fs = std::filesystem;

struct ReadCase {
  std::string text, section, key, expected;
};

TEST(IniDocumentTest, ReadsAsTheProfileCallsDo) {
  const ReadCase cases[] = {
      {"[User]\r\nKey=v\r\n", "user", "KEY", "v"},                    // ASCII case ignored
      {"  [ User ]  \r\n  Key  =  v w  \r\n", "User", "Key", "v w"},  // blanks around names and values
      {"[U]\r\nK=v\r\n", " U ", " K ", "v"},                          // ...and around the names asked for
      {"[U]\nK=1\n[U]\nK=2\nL=3\n", "U", "K", "1"},                   // the first duplicate section wins
      {"[U]\nK=1\n[U]\nL=3\n", "U", "L", ""},                         // ...and later ones are not searched
      {"[U]\nK=1\nk=2\n", "U", "K", "1"},                             // the first duplicate key wins
      {"[U]\nK=a=b\n", "U", "K", "a=b"},                              // the first '=' splits
      {"[U]\nK\nL=1\n", "U", "K", ""},                                // a bare key has no value
      {"[U]\nK=\"q v\"\n", "U", "K", "q v"},                          // matching quotes are dropped
      {"[U]\nK='q'\n", "U", "K", "q"},
      {"[U]\nK=\"q'\n", "U", "K", "\"q'"},  // unmatched ones stay
      {"[U]\nK=\"\n", "U", "K", "\""},
      {"K=0\n[U]\nL=1\n", "U", "K", ""},    // keys before any section belong to none
      {"[U]\n;K=1\nK=2\n", "U", "K", "2"},  // no comments: ';K' is a key
      {"[U]\n;K=1\n", "U", ";K", "1"},
      {"[U]\rK=cr\r", "U", "K", "cr"},  // any line end
      {"[U]\nK=lf", "U", "K", "lf"},    // no final line end
      {"\xEF\xBB\xBF[U]\r\nK=bom\r\n", "U", "K", "bom"},
      {"[U] note\nK=1\n", "U", "K", "1"},  // text after ']' is ignored
      {"[a]b]\nK=1\n", "a]b", "K", "1"},   // the name runs to the last ']'
      {"[U\nK=1\n", "U", "K", ""},         // no ']', no section
      {"[U]\nK=1\n[V]\n", "V", "K", ""},
      {"[U]\nK=1\n", "U", "", ""},
      {"", "U", "K", ""},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(TIniDocument(c.text).Read(c.section, c.key), c.expected)
        << "text [" << c.text << "] section [" << c.section << "] key [" << c.key << "]";
  }
}

TEST(IniDocumentTest, ValuesThatReadBackWhole) {
  for (const std::string& value : {std::string(), std::string(2047, 'v'), std::string("a b"), std::string("\"v"),
                                   std::string("'v\""), std::string("\"")}) {
    EXPECT_TRUE(TIniDocument::ReadsBackWhole(value)) << value.substr(0, 20);
    TIniDocument ini;
    ASSERT_TRUE(ini.Write("U", "K", value));
    EXPECT_EQ(TIniDocument(ini.Text()).Read("U", "K"), value);
  }
}

TEST(IniDocumentTest, SectionNameGivesTheSpellingOnFile) {
  const TIniDocument ini("[Alice]\r\nK=1\r\n[ bob ]\r\n");
  EXPECT_EQ(ini.SectionName("ALICE"), "Alice");
  EXPECT_EQ(ini.SectionName("Bob"), "bob");
  EXPECT_EQ(ini.SectionName("carol"), "");
}

TEST(IniDocumentTest, ReadsAtMost2047BytesOfAValue) {
  const std::string longValue(3000, 'x');
  EXPECT_EQ(TIniDocument("[U]\nK=" + longValue + "\n").Read("U", "K"), std::string(2047, 'x'));
  EXPECT_EQ(TIniDocument("[U]\nK=" + longValue.substr(0, 2047) + "\n").Read("U", "K").size(), 2047u);
}

TEST(IniDocumentTest, DoubleByteNamesFoldOnlyTheirAsciiCharacters) {
  // 81 41 and 81 61 are two different GBK characters: Windows must keep them apart.
  // Elsewhere the bytes are not GBK and compare as single bytes.
  const TIniDocument ini("[\x81\x41x]\r\nK=1\r\n");
  EXPECT_EQ(ini.Read("\x81\x41X", "K"), "1");
  EXPECT_EQ(ini.Read("\x81\x61x", "K"), platform::kWindows ? "" : "1");
}

struct WriteCase {
  std::string before, section, key, value, after;
};

TEST(IniDocumentTest, WritesAsTheProfileCallsDo) {
  const WriteCase cases[] = {
      {"", "U", "K", "v", "[U]\r\nK=v\r\n"},
      {"[U]\nK=1\nL=2\n", "u", "k", "9", "[U]\r\nK=9\r\nL=2\r\n"},  // replaced in place
      {"[U]\n  key = 1 \n", "U", "KEY", "9", "[U]\r\nkey=9\r\n"},   // keeping its spelling
      {"[U]\nK\n", "U", "K", "9", "[U]\r\nK=9\r\n"},
      {"[U]\r\nK=1\r\n\r\n[V]\r\nX=1\r\n", "U", "L", "2",  // new key at the section's end,
       "[U]\r\nK=1\r\nL=2\r\n\r\n[V]\r\nX=1\r\n"},         // before its closing blank lines
      {"[U]\nK=1\n;note\n", "U", "L", "2", "[U]\r\nK=1\r\n;note\r\nL=2\r\n"},
      {"[U]\n", "U", "L", "2", "[U]\r\nL=2\r\n"},
      {"[U]\nK=1", "V", "L", "2", "[U]\r\nK=1\r\n[V]\r\nL=2\r\n"},              // new section at the end
      {"[U]\n", " V ", " L ", "2", "[U]\r\n[V]\r\nL=2\r\n"},                    // names written trimmed
      {"[U]\nK=1\n[U]\nK=2\n", "U", "K", "9", "[U]\r\nK=9\r\n[U]\r\nK=2\r\n"},  // first duplicate only
      {"[U]\nK=1\n[V]\n[U]\n", "U", "L", "2", "[U]\r\nK=1\r\nL=2\r\n[V]\r\n[U]\r\n"},
      {"[U]\nK=1\nK=2\n", "U", "K", "9", "[U]\r\nK=9\r\nK=2\r\n"},
      {"K=0\n[U]\n", "U", "K", "1", "K=0\r\n[U]\r\nK=1\r\n"},              // a key outside sections is not it
      {"\xEF\xBB\xBF[U]\n", "U", "K", "1", "\xEF\xBB\xBF[U]\r\nK=1\r\n"},  // the byte order mark stays
      {"[U]\nK=1\n", "U", "K", "", "[U]\r\nK=\r\n"},
  };
  for (const WriteCase& c : cases) {
    TIniDocument ini(c.before);
    ASSERT_TRUE(ini.Write(c.section, c.key, c.value)) << c.before;
    EXPECT_EQ(ini.Text(), c.after) << "before [" << c.before << "]";
    EXPECT_EQ(TIniDocument(ini.Text()).Read(c.section, c.key), c.value) << "before [" << c.before << "]";
  }
}

TEST(IniDocumentTest, RefusesWhatWouldNotReadBack) {
  struct Case {
    std::string section, key, value;
  };
  const Case refused[] = {
      {"", "K", "v"},
      {"  ", "K", "v"},
      {"a\nb", "K", "v"},
      {"a\rb", "K", "v"},
      {"U", "", "v"},
      {"U", " ", "v"},
      {"U", "a=b", "v"},
      {"U", "[K]", "v"},
      {"U", "K\n", "v"},
      {"U", "K", "a\r\nb"},
      {"U", "K", std::string("a\0b", 3)},
      {std::string("U\0", 2), "K", "v"},
      // Values the reader would not give back as they were.
      {"U", "K", std::string(2048, 'v')},
      {"U", "K", " v"},
      {"U", "K", "v\t"},
      {"U", "K", "\"v\""},
      {"U", "K", "'v'"},
  };
  for (const Case& c : refused) {
    EXPECT_FALSE(TIniDocument::CanWrite(c.section, c.key, c.value)) << c.section << "/" << c.key << "/" << c.value;
    TIniDocument ini("[U]\r\nK=1\r\n");
    EXPECT_FALSE(ini.Write(c.section, c.key, c.value));
    EXPECT_EQ(ini.Text(), "[U]\r\nK=1\r\n");
  }
}

class IniFileTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
};

TEST_F(IniFileTest, AMissingFileReadsEmptyAndTheFirstWriteCreatesIt) {
  const TIniFile ini(dir_.File("new.ini"));
  TIniDocument document;
  EXPECT_FALSE(ini.Load(document));
  EXPECT_EQ(ini.ReadString("U", "K"), "");
  EXPECT_FALSE(fs::exists(ini.FileName()));

  ASSERT_TRUE(ini.WriteStrings("U", {{"K", "1"}, {"L", "2"}}));
  EXPECT_EQ(test::ReadFileBytes(ini.FileName()), "[U]\r\nK=1\r\nL=2\r\n");
  ASSERT_TRUE(ini.WriteStrings("V", {{"M", "3"}}));
  ASSERT_TRUE(ini.WriteStrings("u", {{"K", "9"}}));
  EXPECT_EQ(test::ReadFileBytes(ini.FileName()), "[U]\r\nK=9\r\nL=2\r\n[V]\r\nM=3\r\n");
  EXPECT_TRUE(ini.Load(document));
  EXPECT_EQ(document.Read("V", "M"), "3");
  EXPECT_FALSE(fs::exists(platform::AtomicTempName(ini.FileName())));
  if (!platform::kWindows) {
    EXPECT_EQ(fs::status(ini.FileName()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
  }
}

TEST_F(IniFileTest, AnExistingFileKeepsItsPermissions) {
  if (platform::kWindows) GTEST_SKIP() << "POSIX permissions";
  const std::string file = dir_.Write("shared.ini", "[U]\r\nK=1\r\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(TIniFile(file).WriteStrings("U", {{"K", "2"}}));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(IniFileTest, ASaveThatCannotCompleteLeavesTheFileAsItWas) {
  const std::string before = "[U]\r\nK=1\r\n";
  const std::string file = dir_.Write("keep.ini", before);
  const TIniFile ini(file);

  // One entry that cannot be stored refuses the whole save.
  EXPECT_FALSE(ini.WriteStrings("U", {{"K", "2"}, {"L", "a\nb"}}));
  EXPECT_FALSE(ini.WriteStrings("U", {{"K", "2"}, {"=", "x"}}));
  EXPECT_EQ(test::ReadFileBytes(file), before);

  // The lock cannot be taken: something else stands where the lock file must be.
  fs::create_directory(ini.LockFileName());
  EXPECT_FALSE(ini.WriteStrings("U", {{"K", "2"}}));
  EXPECT_EQ(test::ReadFileBytes(file), before);
  EXPECT_EQ(ini.ReadString("U", "K"), "1");  // reading still works
  fs::remove(ini.LockFileName());

  if (test::ReadOnlyModesHonoured(dir_)) {
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(ini.WriteStrings("U", {{"K", "2"}}));
    EXPECT_EQ(test::ReadFileBytes(file), before);
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
  }
  ASSERT_TRUE(ini.WriteStrings("U", {{"K", "2"}}));
  EXPECT_EQ(ini.ReadString("U", "K"), "2");
}

TEST_F(IniFileTest, ASaveWithNoPlaceForTheFileCreatesNothing) {
  dir_.Write("blocker", "a file where a folder must be");
  fs::create_directory(dir_.File("folder.ini"));
  const std::string places[] = {
      dir_.File("missing") + platform::kPathSeparator + "a.ini",
      dir_.File("blocker") + platform::kPathSeparator + "a.ini",
      dir_.File("folder.ini"),
  };
  for (const std::string& place : places) {
    EXPECT_FALSE(TIniFile(place).WriteStrings("U", {{"K", "1"}})) << place;
    EXPECT_EQ(TIniFile(place).ReadString("U", "K"), "") << place;
  }
  EXPECT_FALSE(fs::exists(dir_.File("missing")));
  EXPECT_TRUE(fs::is_directory(dir_.File("folder.ini")));
  EXPECT_TRUE(fs::is_empty(dir_.File("folder.ini")));
}

TEST_F(IniFileTest, AReadOnlyFolderRefusesTheSave) {
  if (platform::kWindows) GTEST_SKIP() << "a read-only folder attribute does not stop writes on Windows";
  const std::string folder = dir_.File("locked");
  fs::create_directory(folder);
  const std::string file = folder + "/a.ini";
  ASSERT_TRUE(TIniFile(file).WriteStrings("U", {{"K", "1"}}));
  const std::string before = test::ReadFileBytes(file);
  fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const bool honoured = !std::ofstream(folder + "/probe").is_open();
  if (honoured) {
    EXPECT_FALSE(TIniFile(file).WriteStrings("U", {{"K", "2"}}));
    EXPECT_EQ(test::ReadFileBytes(file), before);
  }
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
  if (!honoured) GTEST_SKIP() << "this user writes into read-only folders";
}

TEST_F(IniFileTest, AStaleTemporaryFileFromACrashIsReplaced) {
  const std::string file = dir_.File("a.ini");
  dir_.Write("a.ini.tmp", "[U]\r\nK=torn");
  ASSERT_EQ(platform::AtomicTempName(file), dir_.File("a.ini.tmp"));
  ASSERT_TRUE(TIniFile(file).WriteStrings("U", {{"K", "1"}}));
  EXPECT_EQ(test::ReadFileBytes(file), "[U]\r\nK=1\r\n");
  EXPECT_FALSE(fs::exists(dir_.File("a.ini.tmp")));
}

TEST_F(IniFileTest, ThreadsSavingAtOnceLoseNothing) {
  const TIniFile ini(dir_.File("threads.ini"));
  constexpr int kThreads = 8;
  constexpr int kSaves = 20;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 1; i <= kSaves; ++i) {
        if (!ini.WriteStrings("S" + std::to_string(t), {{"N", std::to_string(i)}, {"T", std::to_string(t)}})) {
          ++failures[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  TIniDocument document;
  ASSERT_TRUE(ini.Load(document));
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failures[t], 0) << t;
    EXPECT_EQ(document.Read("S" + std::to_string(t), "N"), std::to_string(kSaves)) << t;
    EXPECT_EQ(document.Read("S" + std::to_string(t), "T"), std::to_string(t)) << t;
  }
}

// Save number n of the crash test: a counter and enough padding that a kill often
// lands while the file is being written.
IniEntries CrashEntries(long n) {
  IniEntries entries{{"Counter", std::to_string(n)}};
  for (int i = 0; i < 16; ++i) {
    entries.push_back({"Pad" + std::to_string(i), std::string(2000, static_cast<char>('a' + (n + i) % 26))});
  }
  return entries;
}

std::string CrashText(long n) {
  TIniDocument document;
  for (const auto& [key, value] : CrashEntries(n)) document.Write("Crash", key, value);
  return document.Text();
}

long CounterIn(const std::string& file) { return std::atol(TIniFile(file).ReadString("Crash", "Counter").c_str()); }

constexpr const char* kCrashFileVariable = "QORV_CRASH_INI";

// The child of the crash test: saves the next numbers until it is killed.
TEST(IniFileChild, SavesUntilKilled) {
  const char* file = std::getenv(kCrashFileVariable);
  if (file == nullptr) GTEST_SKIP() << "runs as the child of IniFileTest.ACrashLeavesTheOldOrTheNewFile";
  const TIniFile ini(file);
  long n = CounterIn(file);
  for (int i = 0; i < 100000; ++i) ASSERT_TRUE(ini.WriteStrings("Crash", CrashEntries(++n)));
}

TEST_F(IniFileTest, ACrashLeavesTheOldOrTheNewFile) {
  const std::string file = dir_.File("crash.ini");
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> killDelay(0, 20);
  const int rounds = platform::kWindows ? 8 : 50;  // a wine process takes a second to start
  long last = 0;
  for (int round = 0; round < rounds; ++round) {
    platform::ChildProcess child;
    ASSERT_TRUE(child.Start(platform::ExecutablePath(),
                            {"--gtest_filter=IniFileChild.SavesUntilKilled", "--gtest_brief=1"},
                            {std::string(kCrashFileVariable) + "=" + file}));
    // Kill it somewhere in its saves, not before they begin.
    for (int wait = 0; wait < 30000 && CounterIn(file) <= last; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(killDelay(random)));
    child.Kill();
    ASSERT_EQ(child.Wait(), -1) << "the child ended by itself in round " << round;

    const std::string bytes = test::ReadFileBytes(file);
    const long n = CounterIn(file);
    ASSERT_GT(n, last) << "round " << round;
    ASSERT_EQ(bytes, CrashText(n)) << "round " << round;
    last = n;
  }
  ASSERT_TRUE(TIniFile(file).WriteStrings("Crash", CrashEntries(last + 1)));
  EXPECT_EQ(test::ReadFileBytes(file), CrashText(last + 1));
  EXPECT_FALSE(fs::exists(platform::AtomicTempName(file)));
}

}  // namespace
}  // namespace qorv
