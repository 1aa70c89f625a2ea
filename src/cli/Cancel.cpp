#include "cli/Cancel.h"

#include <csignal>

namespace salvora {
namespace {

volatile std::sig_atomic_t cancelRequested = 0;

void OnInterrupt(int) {
  cancelRequested = 1;
  // A second Ctrl-C (or kill) ends the process at once.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

}  // namespace

void InstallCancelHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool CancelRequested() { return cancelRequested != 0; }

}  // namespace salvora
