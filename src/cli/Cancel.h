#pragma once
// Ctrl-C asks the running engine to stop: the next progress callback answers
// the cancel code, the engine ends cleanly and what it found is kept.
namespace salvora {

void InstallCancelHandler();
bool CancelRequested();

}  // namespace salvora
