// Our INI engine against the Windows profile calls, on the same files: what one writes
// the other must read the same.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "store/IniDocument.h"
#include "store/IniFile.h"
#include "support/TempDir.h"

namespace qorv {
namespace {

struct Write {
  std::string section, key, value;
};

const std::vector<std::string> kSections = {"U", "u", " U ", "User", "V", "a]b", "\x81\x41x", "\x81\x61x", "\x81\x41X"};
const std::vector<std::string> kKeys = {"K", "k", " K ", "L", "M", "N", "Key", "X", "KEY", ";K"};

std::string WindowsRead(const std::string& file, const std::string& section, const std::string& key) {
  char buffer[2048] = {};
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, sizeof(buffer), file.c_str());
  return buffer;
}

void WindowsWrite(const std::string& file, const Write& w) {
  ASSERT_TRUE(WritePrivateProfileStringA(w.section.c_str(), w.key.c_str(), w.value.c_str(), file.c_str()));
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());  // flush the profile cache
}

class IniCompatibilityTest : public ::testing::Test {
 protected:
  // A file of its own for every use, so that no cached copy of an earlier one is read.
  std::string NewFile(const std::string& text) { return dir_.Write("f" + std::to_string(next_++) + ".ini", text); }

  test::TempDir dir_;
  int next_ = 0;
};

TEST_F(IniCompatibilityTest, FilesReadTheSame) {
  const std::string texts[] = {
      "[User]\r\nKey=v\r\n",
      "  [ User ]  \r\n  Key  =  v w  \r\n",
      "[U]\r\nK=1\r\n[U]\r\nK=2\r\nL=3\r\n",
      "[U]\r\nK=1\r\nk=2\r\n",
      "[U]\r\nK=a=b\r\n",
      "[U]\r\nK\r\nL=1\r\n",
      "[U]\r\nK=\"q v\"\r\nL='q'\r\nM=\"q'\r\nN=\"\r\n",
      "K=0\r\n[U]\r\nL=1\r\n",
      "[U]\r\n;K=1\r\nL=2\r\n",
      "[U]\nK=lf\nL=2",
      "[U] note\r\nK=1\r\n",
      "[a]b]\r\nK=1\r\n",
      "[U\r\nK=1\r\n",
      "[U]\r\nK=" + std::string(3000, 'x') + "\r\n",
      "[\x81\x41x]\r\nK=1\r\n",
      "[U]\r\nK=1\r\n\r\n[V]\r\nX=1\r\n",
      "[U]\rK=cr\rL=2\r",
      "\xEF\xBB\xBF[U]\r\nK=bom\r\n",
  };
  for (const std::string& text : texts) {
    const std::string file = NewFile(text);
    const TIniDocument ours(text);
    for (const std::string& section : kSections) {
      for (const std::string& key : kKeys) {
        EXPECT_EQ(ours.Read(section, key), WindowsRead(file, section, key))
            << "text [" << text << "] section [" << section << "] key [" << key << "]";
      }
    }
  }
}

TEST_F(IniCompatibilityTest, WhatEitherWritesTheOtherReads) {
  struct Case {
    std::string before;
    std::vector<Write> writes;
  };
  const Case cases[] = {
      {"", {{"U", "K", "v"}, {"V", "L", "2"}, {"u", "k", "9"}, {"U", "M", "3"}, {" V ", " X ", "4"}}},
      {"[U]\r\nK=1\r\n\r\n[V]\r\nX=1\r\n", {{"U", "L", "2"}, {"V", "X", "3"}}},
      {"[U]\r\nK=1\r\n[U]\r\nK=2\r\n", {{"U", "K", "9"}, {"U", "L", "3"}}},
      {"[U]\r\n  key = 1 \r\n", {{"U", "KEY", "9"}}},
      {"K=0\r\n[U]\r\n", {{"U", "K", "1"}}},
      {"[U]\r\nK=1\r\n;c\r\n", {{"U", "L", "2"}, {"U", "K", ""}, {"U", ";K", "3"}}},
      {"", {{"\x81\x41x", "K", "1"}, {"\x81\x61x", "K", "2"}, {"U", "N", "\xB2\xE2 x"}}},
  };
  for (const Case& c : cases) {
    const std::string windowsFile = NewFile(c.before);
    const std::string ourFile = NewFile(c.before);
    for (const Write& w : c.writes) {
      WindowsWrite(windowsFile, w);
      ASSERT_TRUE(TIniFile(ourFile).WriteStrings(w.section, {{w.key, w.value}})) << w.section << "/" << w.key;
    }
    const TIniDocument oursOfWindows(test::ReadFileBytes(windowsFile));
    const TIniDocument oursOfOurs(test::ReadFileBytes(ourFile));
    for (const std::string& section : kSections) {
      for (const std::string& key : kKeys) {
        const std::string expected = WindowsRead(windowsFile, section, key);
        const std::string where = "before [" + c.before + "] section [" + section + "] key [" + key + "]";
        EXPECT_EQ(WindowsRead(ourFile, section, key), expected) << where;
        EXPECT_EQ(oursOfWindows.Read(section, key), expected) << where;
        EXPECT_EQ(oursOfOurs.Read(section, key), expected) << where;
      }
    }
  }
}

}  // namespace
}  // namespace qorv
