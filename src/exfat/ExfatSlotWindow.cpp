#include "exfat/ExfatSlotWindow.h"

namespace salvora {

void ExfatSlotWindow::Append(const uint8_t* bytes, size_t length, uint64_t firstSector,
                             uint32_t bytesPerSector) {
  if (ended_) return;
  size_t slots = length / kExfatSlotBytes;
  bytes_.insert(bytes_.end(), bytes, bytes + slots * kExfatSlotBytes);
  for (size_t i = 0; i < slots; ++i)
    sectors_.push_back(firstSector + i * kExfatSlotBytes / bytesPerSector);
}

bool ExfatSlotWindow::Drain(bool final, const SetHandler& onSet) {
  const size_t count = sectors_.size();
  size_t slot = 0;
  while (slot < count && !ended_) {
    const uint8_t* at = bytes_.data() + slot * kExfatSlotBytes;
    if (at[0] == kExfatEndOfDirectory && endAtMark_) {
      ended_ = true;
      break;
    }
    size_t claimed = ClaimedSetSlots(at);
    if (claimed == 0) {
      ++slot;
      continue;
    }
    if (slot + claimed > count && !final) break;
    ExfatEntrySet set;
    if (ParseEntrySet(at, count - slot, set)) {
      onSet(set, sectors_[slot + 1]);
      slot += set.slotCount;
    } else {
      ++slot;
    }
  }
  if (ended_ || final) slot = count;
  bytes_.erase(bytes_.begin(),
               bytes_.begin() + static_cast<std::ptrdiff_t>(slot * kExfatSlotBytes));
  sectors_.erase(sectors_.begin(), sectors_.begin() + static_cast<std::ptrdiff_t>(slot));
  return !ended_;
}

void ExfatSlotWindow::Clear() {
  bytes_.clear();
  sectors_.clear();
  ended_ = false;
}

}  // namespace salvora
