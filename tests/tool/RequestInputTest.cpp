// qorvcrypt's requests read from a file or a stream: --params-file FILE and --params -.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "RequestInput.h"
#include "support/TempDir.h"

namespace qorvcrypt {
namespace {

using qorv::test::TempDir;

struct Closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

File Open(const std::string& path) { return File(std::fopen(path.c_str(), "rb")); }

struct ReadCase {
  const char* label;
  std::string bytes;
  bool ok;
  std::string request;
};

TEST(RequestInputTest, ReadsTheWholeStreamLessOneLineEnd) {
  const TempDir dir;
  const std::string max(kMaxRequestBytes, 'x');
  const ReadCase cases[] = {
      {"as it is", "PassWord=a b;User=u", true, "PassWord=a b;User=u"},
      {"LF", "PassWord=secret\n", true, "PassWord=secret"},
      {"CR LF", "PassWord=secret\r\n", true, "PassWord=secret"},
      {"only one line end", "PassWord=secret\n\n", true, "PassWord=secret\n"},
      {"line ends inside", "a=1\r\nb=2\n", true, "a=1\r\nb=2"},
      {"a lone CR kept", "PassWord=secret\r", true, "PassWord=secret\r"},
      {"empty", "", true, ""},
      {"spaces kept", "PassWord= x \n", true, "PassWord= x "},
      {"the largest", max + "\r\n", true, max},
      {"one byte too many", max + "y", false, ""},
      {"a NUL byte", std::string("PassWord=a\0b", 12), false, ""},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.label);
    const File file = Open(dir.Write("request.txt", c.bytes));
    ASSERT_TRUE(file);
    std::string request = "left over";
    std::string error;
    ASSERT_EQ(ReadRequest(file.get(), request, error), c.ok) << error;
    if (c.ok) {
      EXPECT_EQ(request, c.request);
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
}

// A huge file, or an endless stream such as /dev/zero, is not read to its end.
TEST(RequestInputTest, StopsReadingSoonAfterTheLimit) {
  const TempDir dir;
  const File file = Open(dir.Write("huge.txt", std::string(4 * kMaxRequestBytes, 'x')));
  ASSERT_TRUE(file);
  std::string request;
  std::string error;
  EXPECT_FALSE(ReadRequest(file.get(), request, error));
  EXPECT_NE(error.find("longer than"), std::string::npos) << error;
  EXPECT_LT(std::ftell(file.get()), static_cast<long>(kMaxRequestBytes + 65536));
}

CommandLine LineWith(std::initializer_list<std::pair<const std::string, std::string>> options) {
  CommandLine line;
  line.command = "set-password";
  line.options = options;
  return line;
}

TEST(RequestInputTest, ParamsFileBecomesTheRequest) {
  const TempDir dir;
  CommandLine line = LineWith({{"params-file", dir.Write("p.txt", "PassWord=correct horse\r\n")}, {"type", "T"}});
  std::string error;
  ASSERT_TRUE(ResolveRequest(line, error)) << error;
  EXPECT_EQ(line.Option("params"), "PassWord=correct horse");
  EXPECT_FALSE(line.Has("params-file"));
  EXPECT_EQ(line.Option("type"), "T");
}

TEST(RequestInputTest, RequestOnTheCommandLineStaysAsGiven) {
  CommandLine line = LineWith({{"params", "Keep=1"}});
  std::string error;
  ASSERT_TRUE(ResolveRequest(line, error)) << error;
  EXPECT_EQ(line.Option("params"), "Keep=1");
  CommandLine none = LineWith({});
  ASSERT_TRUE(ResolveRequest(none, error)) << error;
  EXPECT_FALSE(none.Has("params"));
}

TEST(RequestInputTest, RefusesWhatCannotBeTheRequest) {
  const TempDir dir;
  const std::string file = dir.Write("p.txt", "PassWord=x");
  const struct {
    const char* label;
    CommandLine line;
    const char* said;  // part of the error
  } cases[] = {
      {"missing file", LineWith({{"params-file", dir.File("missing.txt")}}), "missing.txt"},
      {"a folder", LineWith({{"params-file", dir.path()}}), "cannot"},
      {"both options", LineWith({{"params-file", file}, {"params", "PassWord=y"}}), "not both"},
      {"both, one on stdin", LineWith({{"params-file", file}, {"params", "-"}}), "not both"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    CommandLine line = c.line;
    std::string error;
    EXPECT_FALSE(ResolveRequest(line, error));
    EXPECT_NE(error.find(c.said), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace qorvcrypt
