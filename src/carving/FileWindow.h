#pragma once
// A carved file's bytes at any offset from its first sector, for the rules
// that walk a format's own structure (segments, chunks, boxes, frames). The
// bytes come through the context's scan buffer, one chunk of up to 64 KiB
// at a time, never from past the rule's limit or the end of the source;
// every chunk read reports progress as a forward scan does.
#include <cstdint>

#include "carving/CarveContext.h"

namespace salvora {

class FileWindow {
 public:
  // Longest run of bytes At() hands out at once.
  static constexpr uint32_t kMaxSpan = 4096;

  // The file starts at the context's fileStartSector and may reach
  // `limitBytes` (its format's cap on the bytes after the first sector, plus
  // that sector).
  FileWindow(CarveContext& context, uint64_t capBytes);

  // The `length` (at most kMaxSpan) bytes at `offset`; null when any of them
  // lies past the limit, cannot be read, or the user stopped the scan.
  const uint8_t* At(uint64_t offset, uint32_t length);
  // The bytes from `offset` to the end of what one read holds (at least
  // one), in `available`; null as for At().
  const uint8_t* From(uint64_t offset, uint32_t& available);

  // How far the file may reach: the cap or the end of the source.
  uint64_t Limit() const { return limit_; }
  // Whether a progress call answered non-zero (a cancel among them).
  bool Stopped() const { return stopped_; }
  // The furthest byte read so far: the size reached when the user stops.
  uint64_t Reached() const { return reached_; }

 private:
  bool Load(uint64_t offset);

  CarveContext& context_;
  uint8_t* buffer_;
  uint64_t limit_ = 0;
  uint64_t start_ = 0, end_ = 0;  // file offsets the buffer holds
  uint64_t reached_ = 0;
  bool stopped_ = false;
};

}  // namespace salvora
