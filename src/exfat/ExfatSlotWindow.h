#pragma once
// The slots of a directory as its pieces arrive (clusters in a walk,
// sectors in a deep sweep), so that an entry set split across two pieces
// is still read whole. Each slot remembers the absolute sector it came
// from, so every set is reported with the sector of its stream extension.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "exfat/ExfatEntrySet.h"

namespace salvora {

class ExfatSlotWindow {
 public:
  using SetHandler = std::function<void(const ExfatEntrySet& set, uint64_t streamSector)>;

  // With `endAtMark`, an end-of-directory slot ends the directory: nothing
  // after it is read (a walk). Without, it is passed over (a sweep, where
  // the next sector may begin another directory).
  explicit ExfatSlotWindow(bool endAtMark) : endAtMark_(endAtMark) {}

  // Adds `length` bytes (whole slots) read from absolute sector
  // `firstSector` on, in sectors of `bytesPerSector` bytes.
  void Append(const uint8_t* bytes, size_t length, uint64_t firstSector, uint32_t bytesPerSector);
  // Hands every whole, sound set to `onSet`. A set that may go on in the
  // next piece is kept unless `final`. False once the end mark was met.
  bool Drain(bool final, const SetHandler& onSet);
  void Clear();
  bool Empty() const { return sectors_.empty(); }

 private:
  bool endAtMark_;
  bool ended_ = false;
  std::vector<uint8_t> bytes_;
  std::vector<uint64_t> sectors_;  // one per slot
};

}  // namespace salvora
