// Sources that are no certificate file, through the built library on POSIX: a FIFO, on
// which a copy would wait for ever, and a socket.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>

#include "interface/ParamString.h"
#include "support/Deployment.h"
#include "support/FolderSnapshot.h"
#include "support/TempDir.h"
#include "util/Messages.h"

namespace qorv {
namespace {

// A socket file bound at path, closed again: the entry stays.
void MakeSocketFile(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

TEST(StoreSourcesPosixTest, AFifoOrASocketIsRefusedAndNeverWaitedOn) {
  test::Deployment d;
  d.WriteConfig({{"File", "", "1", "file", "1", "0", "", {}}});
  const std::string fifo = d.dir().File("key.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A short name: socket paths are limited to about a hundred bytes.
  test::TempDir sockets;
  const std::string socketFile = sockets.File("k.sock");
  MakeSocketFile(socketFile);
  const std::string cert = d.dir().Write("enc.cer", "c");

  for (const std::string& source : {fifo, socketFile}) {
    auto call = std::async(std::launch::async, [&] {
      return d.SetCaFile("File", "alice", "EncCertFile=" + cert + ";EncKeyFile=" + source);
    });
    if (call.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      // Hanging on the FIFO: a writer that goes away at once lets it go on.
      const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) close(writer);
      ADD_FAILURE() << "waited on " << source;
    }
    const test::ExportReply reply = call.get();
    EXPECT_EQ(reply.ok, 0) << source;
    EXPECT_EQ(GetParamValue(reply.params, "ResultMsgStr"), msg::CertificateFileNotRegular(source));
  }
  EXPECT_TRUE(test::SnapshotOf(d.LibraryDir() + "CA").empty());
}

}  // namespace
}  // namespace qorv
