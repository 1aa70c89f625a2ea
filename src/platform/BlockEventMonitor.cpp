#include "platform/BlockEventMonitor.h"

#include <libudev.h>

#include <cstring>

#include "platform/ErrorCodes.h"
#include "platform/UdevDaemon.h"

namespace salvora {
namespace {

BlockEvent EventOfAction(const char* action) {
  if (!action) return BlockEvent::kNone;
  if (std::strcmp(action, "add") == 0) return BlockEvent::kArrival;
  if (std::strcmp(action, "remove") == 0) return BlockEvent::kRemoval;
  // Media inserted into or taken out of a reader, or a loop device bound
  // to a file, shows as a change of the disk.
  if (std::strcmp(action, "change") == 0) return BlockEvent::kChange;
  return BlockEvent::kNone;
}

}  // namespace

BlockEventMonitor::~BlockEventMonitor() {
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

int BlockEventMonitor::Open() {
  if (monitor_) return kOk;
  udev_ = udev_new();
  if (!udev_) return kNotEnoughMemory;
  // Without a running udev daemon its announcements never come; the
  // kernel's own then serve.
  const char* source = UdevDaemonAnswers() ? "udev" : "kernel";
  monitor_ = udev_monitor_new_from_netlink(udev_, source);
  if (!monitor_ ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    return kAccessDenied;
  }
  return kOk;
}

int BlockEventMonitor::Descriptor() const { return monitor_ ? udev_monitor_get_fd(monitor_) : -1; }

BlockEvent BlockEventMonitor::Receive() {
  if (!monitor_) return BlockEvent::kNone;
  struct udev_device* device = udev_monitor_receive_device(monitor_);
  if (!device) return BlockEvent::kNone;
  BlockEvent event = EventOfAction(udev_device_get_action(device));
  udev_device_unref(device);
  return event;
}

}  // namespace salvora
