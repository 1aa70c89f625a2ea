#pragma once
// The unreadable stretches of an image run, kept so that GNU ddrescue can
// pick up where the copy left off: written as a ddrescue mapfile beside
// the image.
#include <cstdint>
#include <string>
#include <vector>

#include "storage/ByteRange.h"

namespace salvora {

class RescueMap {
 public:
  // Records `length` unreadable bytes at image offset `offset`; joins a
  // stretch that continues the previous one. Offsets only grow.
  void MarkUnreadable(uint64_t offset, uint64_t length);
  const std::vector<ByteRange>& Unreadable() const { return unreadable_; }
  uint64_t UnreadableBytes() const;

  // The mapfile text. `origin` is where byte 0 of the image lies on the
  // device that ddrescue will read, `copied` how far the copy got and
  // `total` the size of the whole image. Stretches not yet tried are left
  // for ddrescue as non-tried.
  std::string Render(uint64_t origin, uint64_t copied, uint64_t total) const;

 private:
  std::vector<ByteRange> unreadable_;
};

}  // namespace salvora
