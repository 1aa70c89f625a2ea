#pragma once
// Turns the bursts of events that one plugged or pulled device causes into
// a single refresh of the disk list: an arrival refresh five seconds after
// the last arrival, a removal refresh five seconds after the last removal.
// The desktop application drives it from its event loop.
#include <cstdint>
#include <optional>

#include "platform/BlockEventMonitor.h"

namespace salvora {

struct DueRefresh {
  bool arrival = false;  // add the rows of disks that are new
  bool removal = false;  // drop the rows of entries that vanished
};

class DeviceWatcher {
 public:
  static constexpr uint64_t kSettleMs = 5000;

  // Starts listening for block devices; 0 or a result code.
  int Start() { return monitor_.Open(); }
  // Readable when events wait; -1 before Start.
  int Descriptor() const { return monitor_.Descriptor(); }
  // Takes every waiting event; call when the descriptor is readable.
  void OnReadable(uint64_t nowMs);

  // Records one event at `nowMs`; a new event of a kind restarts its wait.
  void Note(BlockEvent event, uint64_t nowMs);
  // The refreshes whose wait is over at `nowMs`; each is handed out once.
  DueRefresh TakeDue(uint64_t nowMs);
  // Milliseconds until the next refresh is due; empty when none waits.
  std::optional<uint64_t> MillisecondsUntilDue(uint64_t nowMs) const;

 private:
  BlockEventMonitor monitor_;
  std::optional<uint64_t> arrivalDueMs_, removalDueMs_;
};

}  // namespace salvora
