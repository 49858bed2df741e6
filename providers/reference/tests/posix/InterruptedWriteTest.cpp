// Writes that stop part way on Linux: a full disk (a file size limit stands in for it),
// a writer killed with SIGKILL, and a writer still at work while another one starts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "Material.h"
#include "Messages.h"

namespace qorv_ref::test {
namespace {

constexpr size_t kSegment = 1 << 20;

std::string KeyFileInit() { return Params({{"User", "alice"}, {"KeyFile", Shared().keyFile}, {"Mode", "0"}}); }
std::string Op(const std::string& source, const std::string& target) {
  return Params({{"SourceFile", source}, {"TargetFile", target}});
}

// A file size limit makes the writes fail part way, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  sighandler_t previousHandler_;
};

TEST(InterruptedWriteTest, AFailedWriteLeavesNoTarget) {
  TempFolder dir;
  const std::string source = dir.Write("plain", SampleBytes(8 * kSegment));
  const std::string sealed = dir.File("sealed");
  ASSERT_TRUE(RunSequence(KeyFileInit(), Encrypt, Op(source, sealed)).ok);
  Reply encrypted;
  Reply decrypted;
  {
    FileSizeLimit limit(3 * kSegment);
    encrypted = RunSequence(KeyFileInit(), Encrypt, Op(source, dir.File("sealed2")));
    decrypted = RunSequence(KeyFileInit(), Decrypt, Op(sealed, dir.File("opened")));
  }
  EXPECT_FALSE(encrypted.ok);
  EXPECT_EQ(encrypted.Message(), msg::TargetWriteFailed(dir.File("sealed2")));
  EXPECT_FALSE(decrypted.ok);
  EXPECT_EQ(decrypted.Message(), msg::TargetWriteFailed(dir.File("opened")));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"plain", "sealed"}));
}

// Bytes the process has written so far, from /proc.
uint64_t WrittenBy(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string name;
  uint64_t value = 0;
  while (io >> name >> value) {
    if (name == "wchar:") return value;
  }
  return 0;
}

TEST(InterruptedWriteTest, ADecryptionKilledPartwayLeavesNoPlaintextBehind) {
  TempFolder dir;
  const std::string plain = dir.Write("plain", std::string(64 * kSegment, 'p'));
  const std::string sealed = dir.File("sealed");
  ASSERT_TRUE(RunSequence(KeyFileInit(), Encrypt, Op(plain, sealed)).ok);
  std::remove(plain.c_str());

  const std::string init = KeyFileInit();
  const std::string op = Op(sealed, dir.File("opened"));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Only the provider's calls, then out without running the test program's exit code.
    std::vector<char> buffer(init.begin(), init.end());
    buffer.resize(QORVCRYPT_PROVIDER_BUFFER_SIZE, '\0');
    char* pointer = buffer.data();
    InitCrypt(0, &pointer);
    std::vector<char> call(op.begin(), op.end());
    call.resize(QORVCRYPT_PROVIDER_BUFFER_SIZE, '\0');
    pointer = call.data();
    Decrypt(&pointer);
    ::_exit(0);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (WrittenBy(child) < 16 * kSegment && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the decryption ended before it could be killed";
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"sealed"}));
}

TEST(InterruptedWriteTest, TheTemporaryFileOfAWriterStillAtWorkIsLeftAlone) {
  TempFolder dir;
  const std::string sealed = dir.File("sealed");
  ASSERT_TRUE(RunSequence(KeyFileInit(), Encrypt, Op(dir.Write("plain", "content"), sealed)).ok);
  // Where the system offers no unnamed files, a writer holds a lock on its named one.
  const std::string busy = dir.Write(".opened.a1b2c3d4e5f6.qrvpart", "being written");
  const int fd = ::open(busy.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  const Reply reply = RunSequence(KeyFileInit(), Decrypt, Op(sealed, dir.File("opened")));
  ::close(fd);
  ASSERT_TRUE(reply.ok) << reply.Message();
  EXPECT_EQ(ReadBytes(busy), "being written");
}

}  // namespace
}  // namespace qorv_ref::test
