// The udev daemon is believed only when its control socket answers: a
// socket file it left behind when it stopped must not make the device
// watcher listen for announcements that never come.
#include "platform/UdevDaemon.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "support/TestSupport.h"

namespace salvora {
namespace {

// A SEQPACKET socket bound at `path`; listening when asked.
int BoundSocket(const std::string& path, bool listening) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
  EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  if (listening) {
    EXPECT_EQ(listen(fd, 1), 0);
  }
  return fd;
}

TEST(UdevDaemon, AnswersOnlyWhileSomethingListensOnTheControlSocket) {
  test::TempDir dir;
  std::string control = dir / "control";
  EXPECT_FALSE(UdevDaemonAnswers(control)) << "no socket file at all";

  int live = BoundSocket(control, true);
  EXPECT_TRUE(UdevDaemonAnswers(control));
  close(live);
  // The file stays after its owner is gone, as a stopped daemon leaves it.
  ASSERT_EQ(access(control.c_str(), F_OK), 0);
  EXPECT_FALSE(UdevDaemonAnswers(control));

  std::string boundOnly = dir / "bound";
  int idle = BoundSocket(boundOnly, false);
  EXPECT_FALSE(UdevDaemonAnswers(boundOnly));
  close(idle);
}

}  // namespace
}  // namespace salvora
