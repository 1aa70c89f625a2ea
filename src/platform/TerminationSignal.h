#pragma once
// A request to end the program from outside (SIGTERM at logout or from a
// service manager, SIGINT, SIGHUP) as a descriptor that becomes readable,
// so the window thread learns of it in its own event loop and can stop the
// running work in order instead of dying in the middle of a write.
namespace salvora {

// Installs the handlers once and returns the descriptor to watch; -1 when
// they could not be installed.
int TerminationSignalDescriptor();

// Takes the pending notifications off the descriptor.
void DrainTerminationSignals(int descriptor);

}  // namespace salvora
