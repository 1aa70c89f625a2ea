#include "storage/DeviceWatcher.h"

#include <algorithm>

namespace salvora {
namespace {

bool IsDue(std::optional<uint64_t>& dueMs, uint64_t nowMs) {
  if (!dueMs || nowMs < *dueMs) return false;
  dueMs.reset();
  return true;
}

std::optional<uint64_t> Remaining(const std::optional<uint64_t>& dueMs, uint64_t nowMs) {
  if (!dueMs) return std::nullopt;
  return *dueMs > nowMs ? *dueMs - nowMs : 0;
}

}  // namespace

void DeviceWatcher::OnReadable(uint64_t nowMs) {
  for (BlockEvent event = monitor_.Receive(); event != BlockEvent::kNone;
       event = monitor_.Receive())
    Note(event, nowMs);
}

void DeviceWatcher::Note(BlockEvent event, uint64_t nowMs) {
  if (event == BlockEvent::kArrival || event == BlockEvent::kChange)
    arrivalDueMs_ = nowMs + kSettleMs;
  if (event == BlockEvent::kRemoval || event == BlockEvent::kChange)
    removalDueMs_ = nowMs + kSettleMs;
}

DueRefresh DeviceWatcher::TakeDue(uint64_t nowMs) {
  DueRefresh due;
  due.arrival = IsDue(arrivalDueMs_, nowMs);
  due.removal = IsDue(removalDueMs_, nowMs);
  return due;
}

std::optional<uint64_t> DeviceWatcher::MillisecondsUntilDue(uint64_t nowMs) const {
  std::optional<uint64_t> arrival = Remaining(arrivalDueMs_, nowMs);
  std::optional<uint64_t> removal = Remaining(removalDueMs_, nowMs);
  if (arrival && removal) return std::min(*arrival, *removal);
  return arrival ? arrival : removal;
}

}  // namespace salvora
