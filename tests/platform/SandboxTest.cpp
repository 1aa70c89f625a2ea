#include "platform/Sandbox.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/TestSupport.h"

namespace salvora {
namespace {

// Bit flags a confined child reports through its exit status.
constexpr int kReachedNetwork = 1;
constexpr int kWroteHome = 2;
constexpr int kMayDumpCore = 4;
constexpr int kNotConfined = 8;

bool ConnectsTo(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

// Confines a forked child (a fresh, single-threaded process, as the helper
// is when it confines itself) and reports what it could still do.
int RunConfinedChild(const std::string& home, uint16_t port) {
  pid_t pid = fork();
  if (pid == 0) {
    Confinement confinement = ConfineProcess(home);
    int report = confinement.namespaces || confinement.socketFilter ? 0 : kNotConfined;
    if (ConnectsTo(port)) report |= kReachedNetwork;
    int file = open((home + "/written").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (file >= 0 && confinement.namespaces) report |= kWroteHome;
    rlimit core{};
    if (getrlimit(RLIMIT_CORE, &core) != 0 || core.rlim_cur != 0 || core.rlim_max != 0)
      report |= kMayDumpCore;
    _exit(report);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SandboxTest, ConfinedProcessReachesNoNetworkAndDumpsNoCore) {
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  uint16_t port = ntohs(address.sin_port);
  ASSERT_TRUE(ConnectsTo(port)) << "the loopback must work outside the sandbox";

  test::TempDir home;
  EXPECT_EQ(RunConfinedChild(home.path(), port), 0);
  // The confinement is the child's own: this process keeps its rights.
  EXPECT_TRUE(ConnectsTo(port));
  int file = open((home / "after").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  EXPECT_GE(file, 0);
  close(file);
  close(listener);
}

TEST(SandboxTest, WithoutNamespacesInternetSocketsAreRefused) {
  pid_t pid = fork();
  if (pid == 0) {
    if (!RefuseInternetSockets()) _exit(kNotConfined);
    int report = 0;
    if (socket(AF_INET, SOCK_STREAM, 0) >= 0 || errno != EACCES) report |= kReachedNetwork;
    if (socket(AF_INET6, SOCK_DGRAM, 0) >= 0) report |= kReachedNetwork;
    // Local sockets (fontconfig, the sanitizers) keep working.
    if (socket(AF_UNIX, SOCK_STREAM, 0) < 0) report |= kNotConfined;
    _exit(report);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace salvora
