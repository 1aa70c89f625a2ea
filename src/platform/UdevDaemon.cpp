#include "platform/UdevDaemon.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace salvora {

bool UdevDaemonAnswers(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int probe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  // A connect to a socket file nobody listens on is refused at once. A
  // normal user may not connect at all: the daemon's socket is root's, and
  // its being guarded says the daemon set it up; its announcements reach
  // every user.
  bool answers = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
                 errno == EACCES || errno == EPERM;
  close(probe);
  return answers;
}

}  // namespace salvora
