#pragma once
// Block devices coming and going (a USB stick plugged in, a card taken out,
// a loop device attached), as the kernel or udev announces them.
#include <cstdint>

struct udev;
struct udev_monitor;

namespace salvora {

enum class BlockEvent : uint8_t { kNone, kArrival, kRemoval, kChange };

class BlockEventMonitor {
 public:
  BlockEventMonitor() = default;
  BlockEventMonitor(const BlockEventMonitor&) = delete;
  BlockEventMonitor& operator=(const BlockEventMonitor&) = delete;
  ~BlockEventMonitor();

  // Starts listening; 0, or a result code when no monitor can be made.
  int Open();
  // A descriptor that becomes readable when events wait, for the caller's
  // event loop; -1 when not open.
  int Descriptor() const;
  // Takes one waiting event without blocking; kNone when none waits.
  BlockEvent Receive();

 private:
  struct udev* udev_ = nullptr;
  struct udev_monitor* monitor_ = nullptr;
};

}  // namespace salvora
