#include "platform/TerminationSignal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace salvora {
namespace {

int pipeEnds[2] = {-1, -1};

void OnTerminationSignal(int) {
  int savedErrno = errno;
  char note = 1;
  // A full pipe already says that a request is pending.
  [[maybe_unused]] ssize_t written = write(pipeEnds[1], &note, 1);
  errno = savedErrno;
}

bool Install() {
  if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP})
    if (sigaction(signal, &action, nullptr) != 0) return false;
  return true;
}

}  // namespace

int TerminationSignalDescriptor() {
  static const bool installed = Install();
  return installed ? pipeEnds[0] : -1;
}

void DrainTerminationSignals(int descriptor) {
  char notes[64];
  while (read(descriptor, notes, sizeof notes) > 0) {
  }
}

}  // namespace salvora
